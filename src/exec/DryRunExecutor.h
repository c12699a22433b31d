#pragma once

#include "exec/Executor.h"

class Platform;

// Runs nothing and changes no file: prints what a real run would echo, "@"
// commands included, with the lines of each inline file indented below its
// command. Quiet, it prints nothing at all, for a walk that only looks.
class DryRunExecutor : public Executor {
  public:
    DryRunExecutor(Platform& platform, bool quiet) : platform_(platform), quiet_(quiet) {}

    Submitted submit(Job job) override;
    int status() const override { return status_; }

  private:
    void run(const Job& job);
    Platform& platform_;
    const bool quiet_;
    int status_ = 0;
    JobId submitted_ = 0;
};
