#pragma once

#include "containers/NameTable.h"
#include "exec/Job.h"
#include "platform/FileTimeCache.h"
#include "platform/Platform.h"
#include "rules/DependencyFiles.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class Diagnostics;
class Executor;
class InferenceRule;
class Rule;
class RuleTable;

// Told of the walk as it goes: what depends on what, and what is out of date.
class WalkObserver {
  public:
    virtual ~WalkObserver() = default;
    // `via` is the inference rule that makes the target from the dependency, or null.
    virtual void dependsOn(const std::string& target, const std::string& dependency,
                           const InferenceRule* via) = 0;
    virtual void decided(const std::string& target, bool outOfDate) = 0;
    // The target's dependency file lists the name.
    virtual void listedIn(const std::string& target, const std::string& name) = 0;
};

// What a make needs besides its rule: the other rules, the file times (behind
// a cache), the executor that runs the jobs, the chain of targets being made
// (to stop a dependency cycle), the decisions that may be reused, and the
// status of the build.
//
// A decision during which no file changed depends only on the file times, the
// rules and the build status, none of which changed either; until files
// change, deciding again would give the same answer and do nothing visible.
// So such decisions are remembered until the cache's generation moves on.
class MakeContext {
  public:
    // What is known of one rule making one name, spelled as given where file
    // names tell letter case apart: "FOO.O" and "foo.o" are two files there.
    struct Target {
        // Whether the rule is making the name, so spelled, on the chain.
        bool onChain = false;
        bool decided = false;
        bool outOfDate = false;
        std::uint64_t generation = 0;
        // The job that made the target in this run, if any.
        std::optional<JobId> job;
    };

    MakeContext(RuleTable& rules, FileTimeCache& files, Executor& executor,
                Diagnostics& diagnostics)
        : rules(rules), platform(files), executor(executor), diagnostics(diagnostics),
          files_(files) {}
    MakeContext(const MakeContext&) = delete;
    MakeContext& operator=(const MakeContext&) = delete;

    // The record of the rule making the name; it stays in place for the run.
    Target& targetOf(const Rule& rule, const std::string& name);

    // Each level of dependencies is one level of recursion, so the chain is
    // bounded well within the smallest stack the tool runs on.
    static constexpr std::size_t kMaxDepth = 1000;

    // Puts the rule and name on the chain. When the same rule is already making
    // the same name, or the chain is kMaxDepth long, reports it, stops the run
    // and returns false; the chain is then left as it was. A walk that is only
    // observed does not follow a cycle, and goes on.
    bool enter(Target& target, const Rule& rule, const std::string& name);
    void leave(Target& target);

    std::uint64_t generation() const { return files_.generation(); }
    // The remembered decision, if it is still valid.
    const bool* remembered(const Target& target) const;
    // Remembers a decision that began at `generation`, unless files changed meanwhile.
    void remember(Target& target, std::uint64_t generation, bool outOfDate);

    // The status of the build: 0, the exit code of a failed command, or 1 after
    // an error of the tool's own. While it is not 0 no command runs.
    int status() const;
    // Set when the run must end at once with the status (a dependency cycle);
    // every later make returns without doing anything.
    bool stopped() const { return stopped_; }

    // Makes each target at most once in the run: one that has been handed to
    // the executor counts as made when it is reached again. Jobs that run side
    // by side need it, since a second run of a target's commands would
    // overlap the first.
    void makeEachTargetOnce() { once_ = true; }
    bool makesEachTargetOnce() const { return once_; }

    // Hands jobs over after a failure too: the executor runs those that do not
    // wait for a failed one. Each target is then made once.
    void keepGoing() {
        keepsGoing_ = true;
        once_ = true;
    }
    bool keepsGoing() const { return keepsGoing_; }

    // Takes every target for out of date, as a walk that lists every command does.
    void takeAllOutOfDate() { allOutOfDate_ = true; }
    bool takesAllOutOfDate() const { return allOutOfDate_; }
    // Only the dependencies and .WAIT order the jobs: a step without
    // dependencies need not end before the next name of a list is made.
    void orderByDependenciesOnly() { dependenciesOnly_ = true; }
    bool ordersByDependenciesOnly() const { return dependenciesOnly_; }

    // The job of this run that makes the file, by any rule; noted only where
    // jobs run side by side, since a one-job run has made it already. A name
    // that a dependency file lists is waited for by it, before its time counts.
    void noteJobMaking(const std::string& name, JobId job);
    std::optional<JobId> jobMaking(const std::string& name) const;

    // In a walk whose commands do not really run (--dry-run, --graph), the
    // files that a job handed over would have written stay unknown: after the
    // first one, a missing name is no sure sign of a slip and is not said.
    void imagineCommands() { imagining_ = true; }
    void noteJobHandedOver() { handedOver_ = true; }
    bool missingMeansMissing() const { return !imagining_ || !handedOver_; }

    // Says, in each job, why its target is out of date.
    void explain() { explains_ = true; }
    bool explains() const { return explains_; }

    // Reads the dependency files that TARVO_DEPFILE names.
    void readDependencyFiles(std::string nameTemplate) {
        dependencyFiles_ = std::make_unique<DependencyFiles>(std::move(nameTemplate));
    }
    DependencyFiles* dependencyFiles() const { return dependencyFiles_.get(); }

    // Reports the walk to the observer, which then sees cycles as edges.
    void observe(WalkObserver& observer) { observer_ = &observer; }
    WalkObserver* observer() const { return observer_; }

    RuleTable& rules;
    Platform& platform;
    Executor& executor;
    // Where the walk says what cannot be made.
    Diagnostics& diagnostics;

  private:
    void stop(int status);

    // Records by name. A name is normally made by one rule only (the one its
    // lookup finds); any other gets a record chained behind the first.
    // Records never move once made, since makes in progress refer to them.
    template <typename Value> struct Record {
        const Rule* rule = nullptr;
        Value value{};
        std::unique_ptr<Record> next;
    };
    template <bool ignoreCase, typename Value>
    static Value& recordOf(NameTable<Record<Value>, ignoreCase>& table, const Rule& rule,
                           const std::string& name);

    FileTimeCache& files_;
    NameTable<Record<Target>, kFileNamesIgnoreCase> targets_;
    NameTable<JobId, kFileNamesIgnoreCase> jobsMaking_;
    std::vector<std::pair<const Rule*, std::string>> chain_;
    int error_ = 0;
    bool stopped_ = false;
    WalkObserver* observer_ = nullptr;
    bool once_ = false;
    bool explains_ = false;
    bool keepsGoing_ = false;
    bool allOutOfDate_ = false;
    bool imagining_ = false;
    bool handedOver_ = false;
    bool dependenciesOnly_ = false;
    std::unique_ptr<DependencyFiles> dependencyFiles_;
};

// Holds one entry of the chain for the time of one make.
class ChainEntry {
  public:
    ChainEntry(MakeContext& context, MakeContext::Target& target, const Rule& rule,
               const std::string& name)
        : context_(context), target_(target), entered_(context.enter(target, rule, name)) {}
    ~ChainEntry() {
        if (entered_) {
            context_.leave(target_);
        }
    }
    ChainEntry(const ChainEntry&) = delete;
    ChainEntry& operator=(const ChainEntry&) = delete;

    bool entered() const { return entered_; }

  private:
    MakeContext& context_;
    MakeContext::Target& target_;
    bool entered_;
};
