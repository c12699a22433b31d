#include "rules/MakeContext.h"

#include "containers/NameCompare.h"
#include "driver/RunState.h"

#include <cstdio>
#include <cstring>

template <bool ignoreCase, typename Value>
Value& MakeContext::recordOf(NameTable<Record<Value>, ignoreCase>& table, const Rule& rule,
                             const std::string& name) {
    Record<Value>* record = &table[name];
    if (record->rule == nullptr) {
        record->rule = &rule;
    }
    while (record->rule != &rule) {
        if (!record->next) {
            record->next = std::make_unique<Record<Value>>();
            record->next->rule = &rule;
        }
        record = record->next.get();
    }
    return record->value;
}

MakeContext::Target& MakeContext::targetOf(const Rule& rule, const std::string& name) {
    Target& target = recordOf(targets_, rule, name);
    if (target.onChain == nullptr) {
        target.onChain = &recordOf(chainCounts_, rule, name);
    }
    return target;
}

bool MakeContext::enter(Target& target, const Rule& rule, const std::string& name) {
    RunState& state = runState();
    if (chain.size() >= kMaxDepth) {
        std::printf("Error (tarvo): Dependencies nested more than %d levels deep, from %s to %s\n",
                    static_cast<int>(kMaxDepth), chain.front().second.c_str(), name.c_str());
        state.buildStatus = 1;
        state.stopRequested = true;
        return false;
    }
    if (*target.onChain == 0) {
        ++*target.onChain;
        chain.emplace_back(&rule, name);
        return true;
    }
    std::size_t start = 0;
    while (!(chain[start].first == &rule && sameName(chain[start].second, name))) {
        ++start;
    }
    std::string cycle;
    for (std::size_t i = start; i < chain.size(); ++i) {
        cycle += chain[i].second;
        cycle += " -> ";
    }
    cycle += name;
    std::printf("Error (tarvo): Dependency cycle %s\n", cycle.c_str());
    state.buildStatus = 1;
    state.stopRequested = true;
    return false;
}

void MakeContext::leave(Target& target) {
    chain.pop_back();
    --*target.onChain;
}

const bool* MakeContext::remembered(const Target& target) const {
    if (!target.decided || target.generation != generation()) {
        return nullptr;
    }
    return &target.outOfDate;
}

void MakeContext::remember(Target& target, std::uint64_t generation, bool outOfDate) {
    if (generation == this->generation() && !runState().stopRequested) {
        target.decided = true;
        target.generation = generation;
        target.outOfDate = outOfDate;
    }
}
