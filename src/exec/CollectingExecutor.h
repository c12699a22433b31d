#pragma once

#include "exec/Executor.h"

#include <vector>

// Runs nothing: keeps each job it is handed, for a walk that only gathers
// what a run would do.
class CollectingExecutor : public Executor {
  public:
    Submitted submit(Job job) override {
        jobs_.push_back(std::move(job));
        return {jobs_.size() - 1, 0};
    }
    int status() const override { return 0; }

    const std::vector<Job>& jobs() const { return jobs_; }

  private:
    std::vector<Job> jobs_;
};
