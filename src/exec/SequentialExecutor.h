#pragma once

#include "exec/Executor.h"

#include <string>

class CommandBlock;
class Platform;

// Runs each job at once, one command after the other: the inline files, the
// "-" and "@" prefixes, the echo, the exit code, and the sweep of temporary
// files after each command.
class SequentialExecutor : public Executor {
  public:
    SequentialExecutor(Platform& platform, bool keepTemporaries)
        : platform_(platform), keepTemporaries_(keepTemporaries) {}

    Submitted submit(Job job) override;
    int status() const override { return status_; }

  private:
    void run(const Job& job);
    void runCommand(const CommandBlock& block, const Job& job, const std::string& pending);

    Platform& platform_;
    const bool keepTemporaries_;
    int status_ = 0;
    JobId submitted_ = 0;
};
