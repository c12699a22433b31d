#pragma once

#include "exec/CommandRun.h"
#include "exec/Executor.h"

class Platform;

// Runs each job at once, one command after the other, each command's output
// going straight out while it runs.
class SequentialExecutor : public Executor {
  public:
    SequentialExecutor(Platform& platform, bool keepTemporaries)
        : commands_(platform, keepTemporaries) {}

    Submitted submit(Job job) override;
    int finish() override;
    int status() const override { return status_; }

  private:
    // False when a command failed.
    bool run(const Job& job);
    // After an interrupt, removes the target once the job's commands have
    // begun, and ends the run.
    void stopIfInterrupted(const Job& job, bool begun);
    // Keeps the first failure's status.
    void fail(int status);

    CommandRunner commands_;
    int status_ = 0;
    JobId submitted_ = 0;
};
