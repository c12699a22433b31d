#pragma once

#include "exec/Job.h"

#include <string>
#include <vector>

// What keeping going after a failure needs: which jobs failed, and which were
// skipped because they wait for one that failed or was skipped.
class JobOutcomes {
  public:
    // Whether a job waiting for these cannot run.
    bool blocked(const std::vector<JobId>& after) const;
    void failed(JobId id, const std::string& target);
    void skipped(JobId id, const std::string& target);

    // The targets in the order they failed, or were skipped.
    const std::vector<std::string>& failedTargets() const { return failedTargets_; }
    const std::vector<std::string>& skippedTargets() const { return skippedTargets_; }

  private:
    void mark(JobId id);

    std::vector<bool> broken_; // by job id
    std::vector<std::string> failedTargets_;
    std::vector<std::string> skippedTargets_;
};
