#include "rules/MakeContext.h"

#include "containers/NameCompare.h"
#include "exec/Executor.h"
#include "text/ErrorReport.h"

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
    return recordOf(targets_, rule, name);
}

void MakeContext::noteJobMaking(const std::string& name, JobId job) {
    if (once_) {
        jobsMaking_[name] = job;
    }
}

std::optional<JobId> MakeContext::jobMaking(const std::string& name) const {
    if (const JobId* job = jobsMaking_.find(name)) {
        return *job;
    }
    return std::nullopt;
}

void MakeContext::stop(int status) {
    error_ = status;
    stopped_ = true;
}

bool MakeContext::enter(Target& target, const Rule& rule, const std::string& name) {
    if (chain_.size() >= kMaxDepth) {
        stop(reportError(message::kDependenciesTooDeep, static_cast<int>(kMaxDepth),
                         chain_.front().second.c_str(), name.c_str()));
        return false;
    }
    // The chain ignores letter case, also where decisions are remembered by
    // the exact name: the rule making "A" on the chain makes "a" as well. A
    // rule rarely stands twice on a chain, so the names are seldom compared.
    std::size_t start = 0;
    if (!target.onChain) {
        while (start < chain_.size() &&
               !(chain_[start].first == &rule && sameName(chain_[start].second, name))) {
            ++start;
        }
        if (start == chain_.size()) {
            target.onChain = true;
            chain_.emplace_back(&rule, name);
            return true;
        }
    } else {
        while (!(chain_[start].first == &rule && sameName(chain_[start].second, name))) {
            ++start;
        }
    }
    if (observer_ != nullptr) {
        return false;
    }
    std::string cycle;
    for (std::size_t i = start; i < chain_.size(); ++i) {
        cycle += chain_[i].second;
        cycle += " -> ";
    }
    cycle += name;
    stop(reportError(message::kDependencyCycle, cycle.c_str()));
    return false;
}

void MakeContext::leave(Target& target) {
    chain_.pop_back();
    target.onChain = false;
}

const bool* MakeContext::remembered(const Target& target) const {
    if (!target.decided || target.generation != generation()) {
        return nullptr;
    }
    return &target.outOfDate;
}

void MakeContext::remember(Target& target, std::uint64_t generation, bool outOfDate) {
    if (generation == this->generation() && !stopped_) {
        target.decided = true;
        target.generation = generation;
        target.outOfDate = outOfDate;
    }
}

int MakeContext::status() const {
    return error_ != 0 ? error_ : executor.status();
}
