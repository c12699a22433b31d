#pragma once

#include "containers/LinkedList.h"
#include "containers/OrderedTree.h"
#include "exec/Job.h"
#include "platform/FileTime.h"
#include "rules/Decision.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class MakeContext;

// A rule of the makefile, filed in the RuleTable under its name: a target name
// for a TargetRule, a target extension such as ".obj" for an InferenceRule.
class Rule : public TreeNode {
  public:
    explicit Rule(std::string name)
        : name(std::move(name)), commandList_(std::make_shared<LinkedList>()),
          commands(*commandList_) {}
    virtual ~Rule() = default;

    int compareKey(const std::string& key) const override;
    int compareNode(const TreeNode& other) const override;

    // Decides whether the target is out of date and, if so, runs the commands.
    virtual bool make(const std::string& target, MakeContext& context) = 0;
    // Hands the job of the target to the executor, unless the build has
    // failed; returns its id, if one was submitted. All kinds of rule share it.
    std::optional<JobId> runCommands(const std::string& target, MakeContext& context,
                                     const Decision& decision = Decision());
    // Replaces the special macros of one command line in place.
    virtual void expandSpecials(std::string& line, const std::string& target) const;

    // The command lines that make the target, with their special macros
    // replaced and their inline files gathered.
    Job jobFor(const std::string& target) const;

    void addCommand(const std::string& text);

    std::string name;

  private:
    std::shared_ptr<LinkedList> commandList_;

  public:
    LinkedList& commands;

  protected:
    // A rule that shares the command lines of another.
    Rule(std::string name, const Rule& sibling)
        : name(std::move(name)), commandList_(sibling.commandList_), commands(*commandList_) {}

    // One decision for the target: nothing once the run is stopped or when the
    // target is already being made by this rule (a cycle); a decision taken
    // while no file changed is reused; otherwise isOutOfDate decides and the
    // commands run when it says so.
    bool decide(const std::string& target, MakeContext& context);
    virtual Decision isOutOfDate(const std::string& target, MakeContext& context) = 0;
    // Whether a name that the target's dependency file lists is newer than the
    // target; the names are not made, and a missing one is never newer. Only
    // where the context reads dependency files.
    bool newerInDependencyFile(const std::string& target, FileTime targetTime, MakeContext& context,
                               Decision& decision) const;
    // Makes a dependency (or source) with its own rule; when it was made, its
    // job joins those that the decision waits for.
    static bool makeDependency(Rule& rule, const std::string& name, MakeContext& context,
                               Decision& decision);
};

class InferenceRule : public Rule {
  public:
    InferenceRule(std::string sourceExtension, std::string targetExtension)
        : Rule(std::move(targetExtension)), sourceExtension(std::move(sourceExtension)) {}

    bool make(const std::string& target, MakeContext& context) override;
    void expandSpecials(std::string& line, const std::string& target) const override;

    std::string sourceExtension;

  protected:
    Decision isOutOfDate(const std::string& target, MakeContext& context) override;
};

class TargetRule : public Rule {
  public:
    explicit TargetRule(std::string name)
        : Rule(std::move(name)), dependencyList_(std::make_shared<LinkedList>()),
          dependencies(*dependencyList_) {}
    // The rule of another target of the same rule line. It shares the line's
    // dependencies and command lines, so that a line of n targets and m
    // dependencies holds n + m items rather than n x m.
    TargetRule(std::string name, const TargetRule& sibling)
        : Rule(std::move(name), sibling), dependencyList_(sibling.dependencyList_),
          dependencies(*dependencyList_) {}

    bool make(const std::string& target, MakeContext& context) override;
    void expandSpecials(std::string& line, const std::string& target) const override;

    void addDependency(std::string name);

  private:
    std::shared_ptr<LinkedList> dependencyList_;

  public:
    LinkedList& dependencies;

  protected:
    Decision isOutOfDate(const std::string& target, MakeContext& context) override;

  private:
    // A rule without dependencies is made for its effects (creating a
    // directory, copying sources, writing a header), which a one-job run has
    // seen before it decides the dependencies that follow it in a list. With
    // jobs side by side the walk waits for such a job too; any other job is
    // awaited only by the targets that depend on it.
    static void waitForEffects(const Rule& rule, const std::string& name, MakeContext& context);
};
