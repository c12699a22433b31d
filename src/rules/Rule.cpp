#include "rules/Rule.h"

#include "containers/NameCompare.h"
#include "driver/RunState.h"
#include "exec/CommandMacros.h"
#include "exec/CommandRunner.h"
#include "exec/Platform.h"
#include "rules/MakeContext.h"
#include "rules/RuleTable.h"

#include <cstdint>

int Rule::compareKey(const std::string& key) const {
    return compareNames(name, key);
}

int Rule::compareNode(const TreeNode& other) const {
    return compareNames(name, static_cast<const Rule&>(other).name);
}

void Rule::addCommand(const std::string& text) {
    commands.append(new CommandItem(text));
}

void TargetRule::addDependency(std::string dependency) {
    dependencies.append(new DependencyItem(std::move(dependency)));
}

void Rule::runCommands(const std::string& target, MakeContext& context) {
    CommandRunner(context.platform).run(*this, target);
}

void Rule::expandSpecials(std::string&, const std::string&) const {}

bool Rule::decide(const std::string& target, MakeContext& context) {
    if (runState().stopRequested) {
        return false;
    }
    MakeContext::Target& record = context.targetOf(*this, target);
    if (const bool* outcome = context.remembered(record)) {
        return *outcome;
    }
    const ChainEntry entry(context, record, *this, target);
    if (!entry.entered()) {
        return false;
    }
    const std::uint64_t generation = context.generation();
    const bool outOfDate = isOutOfDate(target, context);
    if (runState().stopRequested) {
        return false;
    }
    if (outOfDate) {
        runCommands(target, context);
    }
    context.remember(record, generation, outOfDate);
    return outOfDate;
}

bool InferenceRule::make(const std::string& target, MakeContext& context) {
    return decide(target, context);
}

bool InferenceRule::isOutOfDate(const std::string& target, MakeContext& context) {
    const std::string source = withoutExtension(target) + sourceExtension;
    if (Rule* rule = context.rules.lookup(source)) {
        if (rule->make(source, context)) {
            return true;
        }
    }
    return context.platform.fileTime(source) > context.platform.fileTime(target);
}

void InferenceRule::expandSpecials(std::string& line, const std::string& target) const {
    const std::string base = withoutExtension(target);
    replaceSpecial(line, "$<", base + sourceExtension);
    replaceSpecial(line, "$*", base);
    replaceSpecial(line, "$&", withoutExtension(withoutDirectory(target)));
}

bool TargetRule::make(const std::string& target, MakeContext& context) {
    return decide(target, context);
}

bool TargetRule::isOutOfDate(const std::string& target, MakeContext& context) {
    bool outOfDate = false;
    for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
        if (Rule* rule = context.rules.lookup(item->text())) {
            if (rule->make(item->text(), context)) {
                outOfDate = true;
            }
            if (runState().stopRequested) {
                return false;
            }
        }
    }
    if (!outOfDate) {
        const FileTime targetTime = context.platform.fileTime(target);
        for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
            if (context.platform.fileTime(item->text()) > targetTime) {
                outOfDate = true;
                break;
            }
        }
    }
    return outOfDate || dependencies.head() == nullptr;
}

void TargetRule::expandSpecials(std::string& line, const std::string& target) const {
    if (line.find("$@") != std::string::npos) {
        std::string names;
        for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
            if (item != dependencies.head()) {
                names += ' ';
            }
            names += withoutDirectory(item->text());
        }
        replaceSpecial(line, "$@", names);
    }
    replaceSpecial(line, "$<", target);
    replaceSpecial(line, "$*", withoutExtension(target));
}
