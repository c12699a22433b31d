#pragma once

#include "containers/LinkedList.h"
#include "containers/OrderedTree.h"

#include <string>

class MakeContext;

// A rule of the makefile, filed in the RuleTable under its name: a target name
// for a TargetRule, a target extension such as ".obj" for an InferenceRule.
class Rule : public TreeNode {
  public:
    explicit Rule(std::string name) : name(std::move(name)) {}
    virtual ~Rule() = default;

    int compareKey(const std::string& key) const override;
    int compareNode(const TreeNode& other) const override;

    // Decides whether the target is out of date and, if so, runs the commands.
    virtual bool make(const std::string& target, MakeContext& context) = 0;
    virtual void runCommands(const std::string& target, MakeContext& context);
    // Replaces the special macros of one command line in place.
    virtual void expandSpecials(std::string& line, const std::string& target) const;

    void addCommand(const std::string& text);

    std::string name;
    LinkedList commands;

  protected:
    // One decision for the target: nothing once the run is stopped or when the
    // target is already being made by this rule (a cycle); a decision taken
    // while no file changed is reused; otherwise isOutOfDate decides and the
    // commands run when it says so.
    bool decide(const std::string& target, MakeContext& context);
    virtual bool isOutOfDate(const std::string& target, MakeContext& context) = 0;
};

class InferenceRule : public Rule {
  public:
    InferenceRule(std::string sourceExtension, std::string targetExtension)
        : Rule(std::move(targetExtension)), sourceExtension(std::move(sourceExtension)) {}

    bool make(const std::string& target, MakeContext& context) override;
    void expandSpecials(std::string& line, const std::string& target) const override;

    std::string sourceExtension;

  protected:
    bool isOutOfDate(const std::string& target, MakeContext& context) override;
};

class TargetRule : public Rule {
  public:
    using Rule::Rule;

    bool make(const std::string& target, MakeContext& context) override;
    void expandSpecials(std::string& line, const std::string& target) const override;

    void addDependency(const std::string& name);

    LinkedList dependencies;

  protected:
    bool isOutOfDate(const std::string& target, MakeContext& context) override;
};
