#pragma once

#include "exec/Executor.h"

#include <cstdint>
#include <string>

class CommandBlock;
struct RebuiltCommand;
class Platform;

// Runs each job at once, one command after the other: the inline files, the
// "-" and "@" prefixes, the echo, the exit code, and the sweep of temporary
// files after each command.
class SequentialExecutor : public Executor {
  public:
    SequentialExecutor(Platform& platform, bool keepTemporaries)
        : platform_(platform), keepTemporaries_(keepTemporaries) {}

    Submitted submit(Job job) override;
    int finish() override;
    int status() const override { return status_; }

  private:
    // False when a command failed.
    bool run(const Job& job);
    // The command's exit code; 0 when its failure is ignored.
    int runCommand(const CommandBlock& block, const Job& job, const RebuiltCommand& command);
    // After an interrupt, removes the target once the job's commands have
    // begun, and ends the run.
    void stopIfInterrupted(const Job& job, bool begun);
    // Keeps the first failure's status.
    void fail(int status);

    Platform& platform_;
    const bool keepTemporaries_;
    int status_ = 0;
    JobId submitted_ = 0;
    std::uint64_t commands_ = 0;
};
