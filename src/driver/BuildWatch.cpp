#include "driver/BuildWatch.h"

#include "driver/CommandLine.h"
#include "driver/WalkForMode.h"
#include "exec/Executor.h"
#include "exec/watchers/ProgressLine.h"
#include "exec/watchers/TimeLog.h"
#include "exec/watchers/TraceWriter.h"
#include "platform/ConsoleLine.h"
#include "platform/File.h"
#include "platform/FileTimeCache.h"
#include "platform/ProcessStartup.h"
#include "rules/Rule.h"
#include "rules/RuleTable.h"
#include "text/Diagnostics.h"
#include "text/ErrorReport.h"

#include <cstring>
#include <unordered_map>
#include <utility>

BuildWatch::BuildWatch(const Options& options, std::string logPath, bool lineDrawnAbove,
                       Diagnostics& diagnostics)
    : options_(options), diagnostics_(diagnostics), logPath_(std::move(logPath)) {
    if (options.progress != Options::Progress::No && !lineDrawnAbove) {
        if (std::unique_ptr<ConsoleLine> line =
                standardErrorLine(options.progress == Options::Progress::Yes)) {
            progress_ = std::make_unique<ProgressLine>(std::move(line), clock_, options.jobs);
            diagnostics_.drawnBelow(progress_.get());
            setEnvironmentVariable(kLineDrawnAbove, "drawn");
        }
    }
    if (!logPath_.empty()) {
        log_ = std::make_unique<TimeLog>(logPath_, clock_, diagnostics_);
        observers_.add(*log_);
    }
}

BuildWatch::~BuildWatch() {
    finish();
    diagnostics_.drawnBelow(nullptr);
}

int BuildWatch::open() {
    if (!options_.traceFile.empty()) {
        File file(std::fopen(options_.traceFile.c_str(), "wb"));
        if (!file) {
            return diagnostics_.error(message::kUnableToCreateTrace, options_.traceFile.c_str());
        }
        trace_ = std::make_unique<TraceWriter>(std::move(file), clock_);
        observers_.add(*trace_);
    }
    // Last, so that the line is drawn after the others have seen the event.
    if (progress_) {
        observers_.add(*progress_);
    }
    return 0;
}

void BuildWatch::plan(const std::vector<std::string>& targets, RuleTable& rules,
                      FileTimeCache& files, const WalkSettings& settings) {
    if (!progress_) {
        return;
    }
    WalkForMode planning(RunMode::Plan, settings, rules, files, diagnostics_);
    for (const std::string& target : targets) {
        planning.walk().make(target);
    }
    std::vector<std::pair<std::string, std::size_t>> commands;
    for (const Job& job : planning.gatheredJobs()) {
        commands.emplace_back(job.target, job.commands.size());
    }
    const std::unordered_map<std::string, double> recorded =
        logPath_.empty() ? std::unordered_map<std::string, double>()
                         : TimeLog::readDurations(logPath_, diagnostics_);
    progress_->plan(commands, recorded);
}

void BuildWatch::attach(Executor& executor) {
    if (!observers_.empty()) {
        executor.observe(observers_);
    }
}

void BuildWatch::finish() {
    if (progress_) {
        progress_->finish();
    }
    if (log_) {
        log_->save();
    }
    if (trace_) {
        const int error = trace_->close();
        trace_.reset();
        if (error != 0) {
            diagnostics_.warn("the trace could not be written: %s", std::strerror(error));
        }
    }
}
