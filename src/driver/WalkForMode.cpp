#include "driver/WalkForMode.h"

#include "exec/CollectingExecutor.h"
#include "exec/DryRunExecutor.h"
#include "exec/ParallelExecutor.h"
#include "exec/SequentialExecutor.h"
#include "platform/FileTimeCache.h"
#include "text/Diagnostics.h"

#include <climits>

namespace {

// Jobs side by side: with -jN, or with as many as the tokens of a jobserver
// that MAKEFLAGS names allow.
unsigned slotsOf(const WalkSettings& settings) {
    if (settings.jobs > 1) {
        return settings.jobs;
    }
    return settings.jobserver != nullptr && !settings.jobsGiven ? UINT_MAX : 1;
}

WalkPolicy buildPolicy(const WalkSettings& settings) {
    WalkPolicy policy;
    policy.eachTargetOnce = slotsOf(settings) > 1 || settings.keepGoing;
    policy.keepGoing = settings.keepGoing;
    policy.stepsEndBeforeSiblings = policy.eachTargetOnce && !settings.orderByDependenciesOnly;
    policy.explain = settings.explain;
    return policy;
}

WalkPolicy policyFor(RunMode mode, const WalkSettings& settings) {
    WalkPolicy policy;
    switch (mode) {
    case RunMode::Build:
        return buildPolicy(settings);
    case RunMode::DryRun:
    case RunMode::Graph:
        policy.imaginesCommands = true;
        // A graph shows the makefile as it is, cycles included.
        policy.passesOverCycles = mode == RunMode::Graph;
        policy.explain = settings.explain;
        return policy;
    case RunMode::CompilationDatabase:
        policy.eachTargetOnce = true;
        policy.stepsEndBeforeSiblings = true;
        policy.allOutOfDate = true;
        policy.passesOverCycles = true;
        return policy;
    case RunMode::Plan: {
        // Ordered as the build will be; the build reports a cycle.
        const WalkPolicy build = buildPolicy(settings);
        policy.eachTargetOnce = build.eachTargetOnce;
        policy.stepsEndBeforeSiblings = build.stepsEndBeforeSiblings;
        policy.passesOverCycles = true;
        return policy;
    }
    }
    return policy;
}

std::unique_ptr<Executor> executorFor(RunMode mode, const WalkSettings& settings,
                                      FileTimeCache& files) {
    switch (mode) {
    case RunMode::Build: {
        const unsigned slots = slotsOf(settings);
        if (slots > 1) {
            return std::make_unique<ParallelExecutor>(files, slots, settings.keepTemporaries,
                                                      settings.jobserver);
        }
        return std::make_unique<SequentialExecutor>(files, settings.keepTemporaries);
    }
    case RunMode::DryRun:
    case RunMode::Graph:
        return std::make_unique<DryRunExecutor>(files, mode == RunMode::Graph);
    case RunMode::CompilationDatabase:
    case RunMode::Plan:
        break;
    }
    return std::make_unique<CollectingExecutor>();
}

// Nothing is built by a database: names that no command makes are not
// missing yet. An error still ends it, and is said.
std::unique_ptr<Diagnostics> quietFor(RunMode mode) {
    switch (mode) {
    case RunMode::CompilationDatabase:
        return std::make_unique<Diagnostics>(Diagnostics::Silence::WarningsAndNotes);
    case RunMode::Plan:
        return std::make_unique<Diagnostics>(Diagnostics::Silence::Everything);
    default:
        return nullptr;
    }
}

} // namespace

WalkForMode::WalkForMode(RunMode mode, const WalkSettings& settings, RuleTable& rules,
                         FileTimeCache& files, Diagnostics& diagnostics)
    : policy_(policyFor(mode, settings)), quiet_(quietFor(mode)),
      diagnostics_(quiet_ ? *quiet_ : diagnostics), executor_(executorFor(mode, settings, files)),
      walk_(rules, files, *executor_, policy_, diagnostics_) {
    executor_->reportThrough(diagnostics_);
    if (!settings.dependencyFiles.empty()) {
        walk_.readDependencyFiles(settings.dependencyFiles);
    }
    if (settings.record != nullptr && mode != RunMode::CompilationDatabase) {
        walk_.keepRecord(*settings.record, mode == RunMode::Build);
    }
}

WalkForMode::~WalkForMode() = default;

const std::vector<Job>& WalkForMode::gatheredJobs() const {
    static const std::vector<Job> kNone;
    const auto* gathering = dynamic_cast<const CollectingExecutor*>(executor_.get());
    return gathering != nullptr ? gathering->jobs() : kNone;
}
