#include "exec/JobOutcomes.h"

bool JobOutcomes::blocked(const std::vector<JobId>& after) const {
    for (const JobId id : after) {
        if (id < broken_.size() && broken_[id]) {
            return true;
        }
    }
    return false;
}

void JobOutcomes::mark(JobId id) {
    if (id >= broken_.size()) {
        broken_.resize(id + 1, false);
    }
    broken_[id] = true;
}

void JobOutcomes::failed(JobId id, const std::string& target) {
    mark(id);
    failedTargets_.push_back(target);
}

void JobOutcomes::skipped(JobId id, const std::string& target) {
    mark(id);
    skippedTargets_.push_back(target);
}
