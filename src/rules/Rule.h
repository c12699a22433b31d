#pragma once

#include "containers/LinkedList.h"
#include "containers/OrderedTree.h"
#include "exec/Job.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A rule of the makefile, filed in the RuleTable under its name: a target name
// for a TargetRule, a target extension such as ".obj" for an InferenceRule.
// Rules are what the makefile says and nothing more: the walk makes their
// dependencies, and the decision reads what the walk found.
class Rule : public TreeNode {
  public:
    // The walk makes a target rule's list of dependencies, and an inference
    // rule's source.
    enum class Kind { Target, Inference };

    Rule(Kind kind, std::string name)
        : kind(kind), name(std::move(name)), commandList_(std::make_shared<LinkedList>()),
          commands(*commandList_) {}
    virtual ~Rule() = default;

    int compareKey(const std::string& key) const override;
    int compareNode(const TreeNode& other) const override;

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
    // A digest of the text that jobFor gives the target, taken without
    // building it: the command lines as written, with all that their special
    // macros are replaced by. The same text gives the same digest.
    std::uint64_t commandDigest(const std::string& target) const;

    void addCommand(const std::string& text);

    const Kind kind;
    std::string name;

  private:
    std::shared_ptr<LinkedList> commandList_;
    // Of the command lines as written, and whether one names the
    // dependencies ($@); taken at the first ask, once the rule is read.
    struct LinesDigest {
        std::uint64_t digest = 0;
        bool namesDependencies = false;
    };
    mutable std::optional<LinesDigest> linesDigest_;

  public:
    LinkedList& commands;

  protected:
    // A rule that shares the command lines of another.
    Rule(Kind kind, std::string name, const Rule& sibling)
        : kind(kind), name(std::move(name)), commandList_(sibling.commandList_),
          commands(*commandList_) {}
};

class InferenceRule : public Rule {
  public:
    InferenceRule(std::string sourceExtension, std::string targetExtension)
        : Rule(Kind::Inference, std::move(targetExtension)),
          sourceExtension(std::move(sourceExtension)) {}

    std::string sourceOf(const std::string& target) const override;
    void forEachDependency(const std::string& target,
                           const std::function<void(const std::string&)>& visit) const override;
    void expandSpecials(std::string& line, const std::string& target) const override;

    std::string sourceExtension;
    // The other rules for the same extensions, in the order a lookup meets
    // them: where this rule's source can be had neither way, the first of them
    // whose source can makes the target instead. The walk looks them up at the
    // rule's first use, once the table no longer changes.
    std::optional<std::vector<Rule*>> namesakes;
};

class TargetRule : public Rule {
  public:
    explicit TargetRule(std::string name)
        : Rule(Kind::Target, std::move(name)), dependencyList_(std::make_shared<LinkedList>()),
          dependencies(*dependencyList_) {}
    // The rule of another target of the same rule line. It shares the line's
    // dependencies and command lines, so that a line of n targets and m
    // dependencies holds n + m items rather than n x m.
    TargetRule(std::string name, const TargetRule& sibling)
        : Rule(Kind::Target, std::move(name), sibling), dependencyList_(sibling.dependencyList_),
          dependencies(*dependencyList_) {}

    void forEachDependency(const std::string& target,
                           const std::function<void(const std::string&)>& visit) const override;
    void expandSpecials(std::string& line, const std::string& target) const override;

    void addDependency(std::string name);

    // Not a dependency: it parts a list into groups that are made one after the
    // other. Every dependency is asked, twice: the lengths are compared first.
    static bool isWaitMark(const std::string& name) {
        return std::string_view(name) == std::string_view(".WAIT");
    }

  private:
    std::shared_ptr<LinkedList> dependencyList_;

  public:
    LinkedList& dependencies;
};
