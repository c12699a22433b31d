#pragma once

#include "containers/LinkedList.h"
#include "containers/OrderedTree.h"
#include "exec/Job.h"
#include "platform/FileTime.h"
#include "rules/Decision.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Walk;

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

    // Whether the target is out of date, and the evidence: its dependencies
    // are made through the walk and their times compared with the target's.
    virtual Decision isOutOfDate(const std::string& target, Walk& walk) = 0;
    // The rule that decides for the target in this one's stead; itself unless
    // it names another.
    virtual Rule& makerOf(const std::string&, Walk&) { return *this; }
    // Adds to the job what is to be checked once its commands have run.
    virtual void watch(Job&, Walk&) const {}
    // The source that the rule makes the target from; empty where it has none
    // of its own beside its dependencies.
    virtual std::string sourceOf(const std::string&) const { return std::string(); }
    // Calls `visit` with each name that the target depends on in the makefile:
    // a target rule's dependencies, an inference rule's source.
    virtual void forEachDependency(const std::string& target,
                                   const std::function<void(const std::string&)>& visit) const = 0;
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

    // Whether a name that the target's dependency file lists is newer than the
    // target; the names are not made, and a missing one is never newer. Only
    // where the walk reads dependency files.
    bool newerInDependencyFile(const std::string& target, FileTime targetTime, Walk& walk,
                               Decision& decision) const;
};

class InferenceRule : public Rule {
  public:
    InferenceRule(std::string sourceExtension, std::string targetExtension)
        : Rule(std::move(targetExtension)), sourceExtension(std::move(sourceExtension)) {}

    Decision isOutOfDate(const std::string& target, Walk& walk) override;
    // When the source of this rule neither exists nor has a rule, another
    // inference rule for the same target extension whose source does makes the
    // target instead: with .cpp.o found first, C objects still come from .c.o.
    Rule& makerOf(const std::string& target, Walk& walk) override;
    void watch(Job& job, Walk& walk) const override;
    std::string sourceOf(const std::string& target) const override;
    void forEachDependency(const std::string& target,
                           const std::function<void(const std::string&)>& visit) const override;
    void expandSpecials(std::string& line, const std::string& target) const override;

    std::string sourceExtension;

  private:
    bool sourceCanBeHad(const std::string& target, Walk& walk) const;
    // Says which sources were looked for, when the target does not exist.
    void reportNoSource(const std::string& target, Walk& walk);
    // The other rules for the same extensions, looked up once: the table no
    // longer changes while targets are made.
    const std::vector<Rule*>& namesakes(Walk& walk);

    std::vector<Rule*> namesakes_;
    bool namesakesKnown_ = false;
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

    Decision isOutOfDate(const std::string& target, Walk& walk) override;
    void forEachDependency(const std::string& target,
                           const std::function<void(const std::string&)>& visit) const override;
    void expandSpecials(std::string& line, const std::string& target) const override;

    void addDependency(std::string name);

  private:
    std::shared_ptr<LinkedList> dependencyList_;

  public:
    LinkedList& dependencies;
};
