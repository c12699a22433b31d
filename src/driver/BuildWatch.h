#pragma once

#include "exec/CommandObservers.h"
#include "exec/RunClock.h"

#include <memory>
#include <string>
#include <vector>

class Diagnostics;
class Executor;
class FileTimeCache;
class ProgressLine;
class RuleTable;
class TimeLog;
class TraceWriter;
struct WalkPolicy;
struct Options;

// What watches a build: the progress line, the record of times (TARVO_LOG)
// and the trace (--trace), each told of the commands by the executor.
class BuildWatch {
  public:
    // `logPath`: the record of times, or empty. A trace that cannot be
    // written is warned about in `diagnostics`.
    BuildWatch(const Options& options, std::string logPath, Diagnostics& diagnostics);
    ~BuildWatch();
    BuildWatch(const BuildWatch&) = delete;
    BuildWatch& operator=(const BuildWatch&) = delete;

    // Creates the trace file; 1, after the error, when it cannot be.
    int open();
    // Tells the progress line what the targets are expected to run, from a
    // walk that only decides.
    void plan(const std::vector<std::string>& targets, RuleTable& rules, FileTimeCache& files,
              const std::string& dependencyFiles, const WalkPolicy& policy);
    void attach(Executor& executor);
    // Clears the progress line, so that what follows stands where it did.
    void clearLine();
    // Clears the line for good, appends to the record and ends the trace.
    void finish();

  private:
    RunClock clock_;
    const Options& options_;
    Diagnostics& diagnostics_;
    std::string logPath_;
    CommandObservers observers_;
    std::unique_ptr<ProgressLine> progress_;
    std::unique_ptr<TimeLog> log_;
    std::unique_ptr<TraceWriter> trace_;
};
