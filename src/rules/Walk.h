#pragma once

#include "containers/NameTable.h"
#include "exec/BuildRecord.h"
#include "exec/Job.h"
#include "platform/FileTime.h"
#include "platform/FileTimeCache.h"
#include "rules/Decision.h"
#include "rules/WalkPolicy.h"
#include "rules/depfiles/DependencyFiles.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class Diagnostics;
class Executor;
class InferenceRule;
class Rule;
class RuleTable;
class TargetRule;
class WalkObserver;

// One walk over the targets of a run: it decides, target by target, what is
// out of date and hands the jobs over to the executor. It owns what the
// decisions share: the chain of targets being made (to stop a dependency
// cycle), the record of each target, the decisions that may be reused, and
// the status of the build, which the executor's calls report back.
//
// A decision during which no file changed depends only on the file times, the
// rules and the build status, none of which changed either; until files
// change, deciding again would give the same answer and do nothing visible.
// So such decisions are remembered until the cache's generation moves on. The
// executor must therefore run its commands on the walk's own cache, which is
// why both are built on the same one.
class Walk {
  public:
    // The diagnostics are where the walk says what cannot be made.
    Walk(RuleTable& rules, FileTimeCache& files, Executor& executor, const WalkPolicy& policy,
         Diagnostics& diagnostics)
        : rules_(rules), files_(files), executor_(executor), diagnostics_(diagnostics),
          policy_(policy) {}
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    // Reads the dependency files that TARVO_DEPFILE names.
    void readDependencyFiles(std::string nameTemplate) {
        dependencyFiles_ = std::make_unique<DependencyFiles>(std::move(nameTemplate));
    }
    // Decides by the build record where it knows a target. `writes`: records
    // each target when its commands have ended, and each that times call up
    // to date and that it does not know yet.
    void keepRecord(BuildRecord& record, bool writes) {
        record_ = &record;
        recordWrites_ = writes;
        files_.takeStamps();
    }
    // Tells the observer of the walk as it goes.
    void observe(WalkObserver& observer) { observer_ = &observer; }

    // What making one target of the run came to.
    enum class Outcome {
        UpToDate,
        OutOfDate,
        // The target has no rule: the jobs handed over have ended, and the run
        // ends at once, without its clean-up.
        NoRule,
        // A dependency cycle or a chain too deep stopped the run; finish then
        // waits only for the commands running.
        Stopped,
    };
    // Makes the target with its rule.
    Outcome make(const std::string& target);
    // Waits for every job handed over; returns the status the build ends with.
    int finish();

    // Each level of dependencies is one level of recursion, so the chain is
    // bounded well within the smallest stack the tool runs on.
    static constexpr std::size_t kMaxDepth = 1000;

    FileTime fileTime(const std::string& name) { return files_.fileTime(name); }

    // Hands the job of the target to the executor, unless the build has
    // failed (or the walk keeps going); returns its id, if one was submitted.
    std::optional<JobId> runCommands(const Rule& rule, const std::string& target) {
        return runCommands(rule, target, Decision(), nullptr);
    }

    // The status of the build: 0, the exit code of a failed command, or 1 after
    // an error of the tool's own. While it is not 0 no command runs.
    int status() const { return error_ != 0 ? error_ : outcome_; }
    // Set when the run must end at once with the status (a dependency cycle);
    // every later make returns without doing anything.
    bool stopped() const { return stopped_; }

  private:
    // What is known of one rule making one name, spelled as given where file
    // names tell letter case apart: "FOO.O" and "foo.o" are two files there.
    struct Target {
        // Whether the rule is making the name, so spelled, on the chain.
        bool onChain = false;
        bool decided = false;
        bool outOfDate = false;
        // Its rule has no dependencies: it is made for its effects.
        bool step = false;
        std::uint64_t generation = 0;
        // The job that made the target in this run, if any.
        std::optional<JobId> job;
    };

    // Records by name. A name is normally made by one rule only (the one its
    // lookup finds); any other gets a record chained behind the first.
    // Records never move once made, since makes in progress refer to them.
    struct Record {
        const Rule* rule = nullptr;
        Target value{};
        std::unique_ptr<Record> next;
    };

    // Holds one entry of the chain for the time of one make.
    class ChainEntry {
      public:
        ChainEntry(Walk& walk, Target& target, const Rule& rule, const std::string& name)
            : walk_(walk), target_(target), entered_(walk.enter(target, rule, name)) {}
        ~ChainEntry() {
            if (entered_) {
                walk_.leave(target_);
            }
        }
        ChainEntry(const ChainEntry&) = delete;
        ChainEntry& operator=(const ChainEntry&) = delete;

        bool entered() const { return entered_; }

      private:
        Walk& walk_;
        Target& target_;
        bool entered_;
    };

    // What one decision in progress holds: its evidence, the jobs that the
    // target's job waits for, and the dependency file's name, which the
    // evidence views. One per level of the chain, kept for the run so that
    // deciding allocates nothing.
    struct Frame {
        Evidence evidence;
        std::vector<JobId> after;
        std::string dependencyFile;
    };

    // One decision for the name with the rule, or with the rule that the rule
    // names to stand in for it: nothing once the run is stopped or when the
    // rule is already making the name (a cycle); a decision taken while no
    // file changed is reused; otherwise the evidence is gathered, and the
    // commands run when the target is out of date. True when it is.
    bool decide(Rule& rule, const std::string& name);
    // The decision of the rule itself, once the rule that makes the name is known.
    bool decideWith(Rule& rule, const std::string& name);
    // The rule that decides for the name in the rule's stead: an inference rule
    // whose source can be had neither way hands over to the first rule of its
    // namesakes whose source can; itself otherwise.
    Rule& makerOf(Rule& rule, const std::string& name);
    const std::vector<Rule*>& namesakesOf(InferenceRule& rule);
    // Whether a source has a rule or a file.
    bool canBeHad(const std::string& source);
    // Makes the dependencies (or the source, which the caller forms for an
    // inference rule) and looks at what else the decision needs; false when
    // the run stopped meanwhile.
    bool gather(Rule& rule, const std::string& name, const std::string& source, Frame& frame);
    // What the record says of the target, where it knows it and it exists.
    void gatherRecorded(const Rule& rule, const std::string& name, const std::string& source,
                        Frame& frame);
    // The digest of what the target is made from, as the files are now;
    // `changed`, if given, views the first name whose content differs from
    // what the record held when the run began.
    // `evidence`, where given, holds every dependency's time and stamp.
    BuildRecord::Digest inputsOf(const Rule& rule, const std::string& name,
                                 const std::string& source, std::string_view* changed,
                                 const Evidence* evidence = nullptr);
    // The time of the name, and the version of its stamp where the build
    // record wants it.
    void look(const std::string& name, FileTime& time, std::uint64_t& version);
    // Records the target as it is now, made by the command; `justMade` when
    // the job's commands have just ended.
    void recordMade(const Rule& rule, const std::string& name, BuildRecord::Digest command,
                    bool justMade);
    // Has the job record its target when made and, where the decision waits
    // for content, ask first whether it is still needed.
    void recordWhenMade(const Rule& rule, const Decision& decision, const Evidence& evidence,
                        Job& job);
    void makeDependencies(const TargetRule& rule, const std::string& name, Frame& frame);
    // The names that the target's dependency file lists, up to the first one
    // newer than the target; those after it are neither waited for nor checked.
    void gatherListed(const Rule& rule, const std::string& name, Frame& frame);
    // Makes a dependency (or source) with its own rule; when it was made, its
    // job joins those that the target's job waits for. True when it was made.
    bool makeDependency(Rule& rule, const std::string& name, std::vector<JobId>& after,
                        bool siblingsFollow);
    // At a .WAIT among the dependencies, the jobs of those before it end
    // before any name after it is made.
    void waitFor(const std::vector<JobId>& jobs);
    Rule* ruleFor(const std::string& name) const;
    // The dependency file of the target, where the walk reads them.
    std::string dependencyFileOf(const Rule& rule, const std::string& target) const;
    // The names that the dependency file at `path` lists.
    const std::vector<std::string>& namesListedIn(const std::string& path);
    // The time of a name that a dependency file lists. A file that a job of
    // this run writes (a generated header) has the time that the one-job run
    // would see only once that job has ended.
    FileTime listedTime(const std::string& name);
    // Says once per name when the target's dependency file lists a name that a
    // rule of this makefile makes, but nothing in the makefile makes the target
    // depend on it: the target may then be decided, or made beside it, before
    // the name is made.
    void checkListedName(const std::string& target, const std::string& listed);
    // Tells the observer, if any, that the target depends on the name.
    void dependsOn(const std::string& target, const std::string& dependency,
                   const InferenceRule* via) const;
    // Whether a name missing now is a slip worth saying: not once a job whose
    // commands only seemingly run has been handed over.
    bool missingMeansMissing() const { return !policy_.imaginesCommands || !handedOver_; }
    // Says once per name that a dependency has neither a file nor a rule.
    void reportMissing(const std::string& dependency, const std::string& target);
    // Says which sources were looked for, when the target does not exist.
    void reportNoSource(InferenceRule& rule, const std::string& target, FileTime targetTime);
    std::optional<JobId> runCommands(const Rule& rule, const std::string& target,
                                     const Decision& decision, const Frame* frame);
    // A command that writes its output elsewhere (cc -c src/main.c writes
    // ./main.o) otherwise surfaces only as a failure of a later step.
    void watchOutput(Job& job);
    // The record of the rule making the name; it stays in place for the run.
    Target& targetOf(const Rule& rule, const std::string& name);
    // Puts the rule and name on the chain. When the same rule is already making
    // the same name, or the chain is kMaxDepth long, reports it, stops the run
    // and returns false; the chain is then left as it was. Where the policy
    // passes over cycles, a cycle is not reported and the walk goes on.
    bool enter(Target& target, const Rule& rule, const std::string& name);
    void leave(Target& target);
    // The remembered decision, if it is still valid.
    const bool* remembered(const Target& target) const;
    // Remembers a decision that began at `generation`, unless files changed meanwhile.
    void remember(Target& target, std::uint64_t generation, bool outOfDate);
    // Tells the observer of a decision: every name of the dependency file,
    // whatever the decision, and whether the target is out of date.
    void report(const Rule& rule, const std::string& name, const Decision& decision);
    void stop(int status);
    // Whether a rule with commands makes the name (an inference rule, from a
    // source that there is).
    bool makesFile(Rule& rule, const std::string& name);
    // Whether `from` depends on `to` through the makefile, at any depth;
    // `known` keeps the answer for each name visited, for `to`.
    bool reaches(const std::string& from, const std::string& to,
                 std::unordered_map<std::string, bool>& known, std::size_t depth);

    RuleTable& rules_;
    FileTimeCache& files_;
    Executor& executor_;
    Diagnostics& diagnostics_;
    const WalkPolicy policy_;
    NameTable<Record, kFileNamesIgnoreCase> targets_;
    // The job of this run that makes each file, by any rule; noted only where
    // each target is made once, since a one-job run has made it already.
    NameTable<JobId, kFileNamesIgnoreCase> jobsMaking_;
    // The names stay in place while they are on the chain: each is held by
    // the make that put it there.
    std::vector<std::pair<const Rule*, const std::string*>> chain_;
    // One for each level of the chain; a deque, since decisions in progress
    // refer to theirs.
    std::deque<Frame> frames_;
    int error_ = 0;
    // What the executor reported last.
    int outcome_ = 0;
    bool stopped_ = false;
    // Whether a job has been handed over.
    bool handedOver_ = false;
    WalkObserver* observer_ = nullptr;
    std::unique_ptr<DependencyFiles> dependencyFiles_;
    BuildRecord* record_ = nullptr;
    bool recordWrites_ = false;
    // For each name that a dependency file lists and a rule makes: whether
    // the check has spoken, and which names depend on it.
    struct ListedCheck {
        bool said = false;
        std::unordered_map<std::string, bool> reaching;
    };
    std::unordered_map<std::string, ListedCheck> listedChecks_;
};
