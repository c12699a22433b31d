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
};

class InferenceRule : public Rule {
  public:
    InferenceRule(std::string sourceExtension, std::string targetExtension)
        : Rule(std::move(targetExtension)), sourceExtension(std::move(sourceExtension)) {}

    bool make(const std::string& target, MakeContext& context) override;
    void expandSpecials(std::string& line, const std::string& target) const override;

    std::string sourceExtension;
};

class TargetRule : public Rule {
  public:
    using Rule::Rule;

    bool make(const std::string& target, MakeContext& context) override;
    void expandSpecials(std::string& line, const std::string& target) const override;

    void addDependency(const std::string& name);

    LinkedList dependencies;
};
