#include "rules/Rule.h"

#include "containers/NameCompare.h"
#include "driver/RunState.h"
#include "exec/CommandRunner.h"
#include "exec/Platform.h"
#include "exec/SpecialMacros.h"
#include "rules/MakeContext.h"
#include "rules/RuleTable.h"

#include <cstdint>

namespace {

// File times compare as signed 32-bit values.
std::int32_t signedFileTime(Platform& platform, const std::string& name) {
    return static_cast<std::int32_t>(platform.fileTime(name));
}

} // namespace

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

void Rule::runCommands(const std::string& target, MakeContext& context) {
    CommandRunner(context.platform).run(*this, target);
}

void Rule::expandSpecials(std::string&, const std::string&) const {}

bool InferenceRule::make(const std::string& target, MakeContext& context) {
    if (runState().stopRequested) {
        return false;
    }
    const ChainEntry entry(context, *this, target);
    if (!entry.entered()) {
        return false;
    }
    const std::string source = withoutExtension(target) + sourceExtension;
    bool outOfDate = false;
    if (Rule* rule = context.rules.lookup(source)) {
        outOfDate = rule->make(source, context);
        if (runState().stopRequested) {
            return false;
        }
    }
    if (!outOfDate) {
        outOfDate =
            signedFileTime(context.platform, source) > signedFileTime(context.platform, target);
    }
    if (outOfDate) {
        runCommands(target, context);
    }
    return outOfDate;
}

void InferenceRule::expandSpecials(std::string& line, const std::string& target) const {
    const std::string base = withoutExtension(target);
    replaceSpecial(line, "$<", base + sourceExtension);
    replaceSpecial(line, "$*", base);
    replaceSpecial(line, "$&", withoutExtension(withoutDirectory(target)));
}

bool TargetRule::make(const std::string& target, MakeContext& context) {
    if (runState().stopRequested) {
        return false;
    }
    const ChainEntry entry(context, *this, target);
    if (!entry.entered()) {
        return false;
    }
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
        const std::int32_t targetTime = signedFileTime(context.platform, target);
        for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
            if (signedFileTime(context.platform, item->text()) > targetTime) {
                outOfDate = true;
                break;
            }
        }
    }
    if (dependencies.head() == nullptr) {
        outOfDate = true;
    }
    if (outOfDate) {
        runCommands(target, context);
    }
    return outOfDate;
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
