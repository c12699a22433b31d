#pragma once

#include "driver/RunMode.h"
#include "rules/Walk.h"
#include "rules/WalkPolicy.h"

#include <memory>
#include <string>
#include <vector>

class BuildRecord;
class Diagnostics;
class Executor;
class FileTimeCache;
class Jobserver;
class RuleTable;
struct Job;

// What the options and the makefile say about how targets are walked.
struct WalkSettings {
    unsigned jobs = 1;
    // -j was given; without it, a jobserver of MAKEFLAGS sets the jobs.
    bool jobsGiven = false;
    bool keepTemporaries = false;
    bool keepGoing = false;
    bool explain = false;
    // TARVO_ORDER = dependencies: a step without dependencies need not end
    // before the next name of a list is made.
    bool orderByDependenciesOnly = false;
    // The dependency files of the targets, as TARVO_DEPFILE names them.
    std::string dependencyFiles;
    // The jobserver the run shares, if any.
    Jobserver* jobserver = nullptr;
    // The build record, if one is kept.
    BuildRecord* record = nullptr;
};

// The walk of one run mode, with the policy and the executor made for it:
// the one place where they are chosen together. The executor runs its
// commands on the walk's file-time cache. Walks that only gather (a database,
// a plan) keep quiet about what a build would say; a plan says nothing at all,
// since the build that follows it says it all.
class WalkForMode {
  public:
    WalkForMode(RunMode mode, const WalkSettings& settings, RuleTable& rules, FileTimeCache& files,
                Diagnostics& diagnostics);
    ~WalkForMode();
    WalkForMode(const WalkForMode&) = delete;
    WalkForMode& operator=(const WalkForMode&) = delete;

    Walk& walk() { return walk_; }
    Executor& executor() { return *executor_; }
    const WalkPolicy& policy() const { return policy_; }
    // The jobs gathered by a database or a plan; none for the other modes.
    const std::vector<Job>& gatheredJobs() const;

  private:
    const WalkPolicy policy_;
    std::unique_ptr<Diagnostics> quiet_;
    // The run's diagnostics, or the quiet ones of this mode.
    Diagnostics& diagnostics_;
    std::unique_ptr<Executor> executor_;
    Walk walk_;
};
