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
struct WalkSettings;
struct Options;

// What watches a build: the progress line, the record of times (TARVO_LOG)
// and the trace (--trace), each told of the commands by the executor.
class BuildWatch {
  public:
    // Set by a tarvo that draws the progress line, for its commands: a
    // sub-build under it draws none, so that one line stays on the terminal.
    static constexpr const char* kLineDrawnAbove = "TARVO_PROGRESS_LINE";

    // `logPath`: the record of times, or empty. `lineDrawnAbove`: a tarvo
    // that started this one draws the progress line. A trace that cannot be
    // written is warned about in `diagnostics`.
    BuildWatch(const Options& options, std::string logPath, bool lineDrawnAbove,
               Diagnostics& diagnostics);
    ~BuildWatch();
    BuildWatch(const BuildWatch&) = delete;
    BuildWatch& operator=(const BuildWatch&) = delete;

    // Creates the trace file; 1, after the error, when it cannot be.
    int open();
    // Tells the progress line what the targets are expected to run, from a
    // walk that only decides.
    void plan(const std::vector<std::string>& targets, RuleTable& rules, FileTimeCache& files,
              const WalkSettings& settings);
    void attach(Executor& executor);
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
