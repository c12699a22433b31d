#include "rules/MakeContext.h"

#include "containers/NameCompare.h"
#include "driver/RunState.h"

#include <cstdio>

bool MakeContext::enter(const Rule& rule, const std::string& name) {
    std::size_t start = 0;
    while (start < chain.size() &&
           !(chain[start].first == &rule && sameName(chain[start].second, name))) {
        ++start;
    }
    if (start == chain.size()) {
        chain.emplace_back(&rule, name);
        return true;
    }
    std::string cycle;
    for (std::size_t i = start; i < chain.size(); ++i) {
        cycle += chain[i].second;
        cycle += " -> ";
    }
    cycle += name;
    std::printf("Error (tarvo): Dependency cycle %s\n", cycle.c_str());
    RunState& state = runState();
    state.buildStatus = 1;
    state.stopRequested = true;
    return false;
}
