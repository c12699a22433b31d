#include "rules/Rule.h"

#include "containers/NameCompare.h"

int Rule::compareKey(const std::string& key) const {
    return compareNames(name, key);
}

int Rule::compareNode(const TreeNode& other) const {
    return compareNames(name, static_cast<const Rule&>(other).name);
}

void Rule::addCommand(const std::string& text) {
    commands.append(new CommandItem(text));
}

void TargetRule::addDependency(const std::string& dependency) {
    dependencies.append(new DependencyItem(dependency));
}

void Rule::runCommands(const std::string&, MakeContext&) {}

void Rule::expandSpecials(std::string&, const std::string&) const {}

bool InferenceRule::make(const std::string&, MakeContext&) {
    return false;
}

void InferenceRule::expandSpecials(std::string&, const std::string&) const {}

bool TargetRule::make(const std::string&, MakeContext&) {
    return false;
}

void TargetRule::expandSpecials(std::string&, const std::string&) const {}
