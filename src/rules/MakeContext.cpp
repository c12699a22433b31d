#include "rules/MakeContext.h"

#include "containers/NameCompare.h"
#include "driver/RunState.h"

#include <cstdio>
#include <cstring>

std::string MakeContext::keyOf(const Rule& rule, const std::string& name) {
    const Rule* address = &rule;
    std::string key(sizeof address, '\0');
    std::memcpy(&key[0], &address, sizeof address);
    key.reserve(key.size() + name.size());
    for (const char c : name) {
        key += static_cast<char>(foldName(static_cast<unsigned char>(c)));
    }
    return key;
}

bool MakeContext::enter(const std::string& key, const Rule& rule, const std::string& name) {
    RunState& state = runState();
    if (chain.size() >= kMaxDepth) {
        std::printf("Error (tarvo): Dependencies nested more than %zu levels deep, from %s to %s\n",
                    kMaxDepth, chain.front().second.c_str(), name.c_str());
        state.buildStatus = 1;
        state.stopRequested = true;
        return false;
    }
    int& depth = onChain_[key];
    if (depth == 0) {
        ++depth;
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

void MakeContext::leave(const std::string& key) {
    chain.pop_back();
    const auto found = onChain_.find(key);
    if (found != onChain_.end() && --found->second == 0) {
        onChain_.erase(found);
    }
}

const bool* MakeContext::remembered(const std::string& key) const {
    const auto found = decisions_.find(key);
    if (found == decisions_.end() || found->second.generation != generation()) {
        return nullptr;
    }
    return &found->second.outOfDate;
}

void MakeContext::remember(const std::string& key, std::uint64_t generation, bool outOfDate) {
    if (generation == this->generation() && !runState().stopRequested) {
        decisions_[key] = Decision{generation, outOfDate};
    }
}
