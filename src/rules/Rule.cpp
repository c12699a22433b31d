#include "rules/Rule.h"

#include "containers/NameCompare.h"
#include "exec/Job.h"
#include "rules/Walk.h"
#include "text/CommandMacros.h"
#include "text/InlineBlock.h"

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

bool Rule::newerInDependencyFile(const std::string& target, FileTime targetTime, Walk& walk,
                                 Decision& decision) const {
    const std::string path = walk.dependencyFileOf(*this, target);
    for (const std::string& name : walk.namesListedIn(path)) {
        const FileTime time = walk.listedTime(name);
        if (time > targetTime) {
            decision.found(Decision::Cause::DependencyNewer, name, time, targetTime, path);
            return true;
        }
    }
    return false;
}

Job Rule::jobFor(const std::string& target) const {
    Job job;
    job.target = target;
    InlineBlock block;
    std::string line;
    for (const ListItem* item = commands.head(); item != nullptr; item = item->next()) {
        line = item->text();
        expandSpecials(line, target);
        const InlineBlock::Step step = block.feed(line);
        switch (step.role) {
        case InlineBlock::Role::Command:
        case InlineBlock::Role::Opening:
            job.commands.emplace_back();
            job.commands.back().line = std::move(line);
            if (step.role == InlineBlock::Role::Opening) {
                job.commands.back().inlineAt = step.at;
            }
            break;
        case InlineBlock::Role::Content:
            job.commands.back().inlineLines.push_back(std::move(line));
            break;
        case InlineBlock::Role::Closing:
            // What stands before the terminator is the file's last line.
            if (step.at > 0) {
                line.resize(step.at);
                job.commands.back().inlineLines.push_back(std::move(line));
            }
            break;
        }
    }
    if (block.isOpen()) {
        job.commands.back().inlineTerminated = false;
    }
    return job;
}

void Rule::expandSpecials(std::string&, const std::string&) const {}

Decision InferenceRule::isOutOfDate(const std::string& target, Walk& walk) {
    Decision decision;
    const std::string source = withoutExtension(target) + sourceExtension;
    walk.dependsOn(target, source, this);
    if (Rule* rule = walk.ruleFor(source)) {
        if (walk.makeDependency(*rule, source, decision, false)) {
            decision.found(Decision::Cause::SourceMade, source);
            return decision;
        }
    }
    const FileTime sourceTime = walk.fileTime(source);
    const FileTime targetTime = walk.fileTime(target);
    if (sourceTime > targetTime) {
        decision.found(Decision::Cause::SourceNewer, source, sourceTime, targetTime);
    } else if (walk.readsDependencyFiles()) {
        newerInDependencyFile(target, targetTime, walk, decision);
    }
    return decision;
}

void InferenceRule::expandSpecials(std::string& line, const std::string& target) const {
    const std::string base = withoutExtension(target);
    replaceSpecial(line, "$<", base + sourceExtension);
    replaceSpecial(line, "$*", base);
    replaceSpecial(line, "$&", withoutExtension(withoutDirectory(target)));
}

Decision TargetRule::isOutOfDate(const std::string& target, Walk& walk) {
    Decision decision;
    // Made for its effects, it is out of date whatever the times say.
    if (dependencies.head() == nullptr) {
        decision.found(Decision::Cause::NoDependencies, std::string());
    }
    bool made = false;
    for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
        walk.dependsOn(target, item->text(), nullptr);
        if (Rule* rule = walk.ruleFor(item->text())) {
            if (walk.makeDependency(*rule, item->text(), decision, item->next() != nullptr)) {
                decision.found(Decision::Cause::DependencyMade, item->text());
                made = true;
            }
            if (walk.stopped()) {
                return decision;
            }
        }
    }
    if (made) {
        return decision;
    }
    const FileTime targetTime = walk.fileTime(target);
    for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
        const FileTime time = walk.fileTime(item->text());
        if (time > targetTime) {
            decision.found(Decision::Cause::DependencyNewer, item->text(), time, targetTime);
            return decision;
        }
    }
    if (walk.readsDependencyFiles()) {
        newerInDependencyFile(target, targetTime, walk, decision);
    }
    return decision;
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
