#include "rules/Rule.h"

#include "containers/NameCompare.h"
#include "exec/Job.h"
#include "platform/FileTimeCache.h"
#include "rules/Walk.h"
#include "text/CommandMacros.h"
#include "text/Diagnostics.h"
#include "text/InlineBlock.h"

#include <string_view>

namespace {

// Not a dependency: it parts a list into groups that are made one after the other.
// Every dependency is asked, twice: the lengths are compared first.
bool isWaitMark(const std::string& name) {
    return std::string_view(name) == std::string_view(".WAIT");
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

void TargetRule::addDependency(std::string dependency) {
    dependencies.append(new DependencyItem(std::move(dependency)));
}

bool Rule::newerInDependencyFile(const std::string& target, FileTime targetTime, Walk& walk,
                                 Decision& decision) const {
    const std::string path = walk.dependencyFileOf(*this, target);
    for (const std::string& name : walk.namesListedIn(path)) {
        walk.checkListedName(target, name);
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

std::string InferenceRule::sourceOf(const std::string& target) const {
    // Asked for every target the rule makes: one allocation.
    const std::size_t dot = target.rfind('.');
    const std::size_t stem = dot == std::string::npos ? target.size() : dot;
    std::string source;
    source.reserve(stem + sourceExtension.size());
    source.append(target, 0, stem).append(sourceExtension);
    return source;
}

bool InferenceRule::sourceCanBeHad(const std::string& target, Walk& walk) const {
    const std::string source = sourceOf(target);
    return walk.ruleFor(source) != nullptr || walk.fileTime(source) != 0;
}

const std::vector<Rule*>& InferenceRule::namesakes(Walk& walk) {
    if (!namesakesKnown_) {
        namesakes_ = walk.othersNamedLike(*this);
        namesakesKnown_ = true;
    }
    return namesakes_;
}

Rule& InferenceRule::makerOf(const std::string& target, Walk& walk) {
    // A rule alone for its extension makes the target; its decision says
    // when the source is missing.
    if (namesakes(walk).empty() || sourceCanBeHad(target, walk)) {
        return *this;
    }
    // The first other rule for the extension, in the order a lookup meets
    // them, whose source exists or has a rule.
    for (Rule* other : namesakes_) {
        const std::string source = other->sourceOf(target);
        if (!source.empty() && (walk.ruleFor(source) != nullptr || walk.fileTime(source) != 0)) {
            return *other;
        }
    }
    return *this;
}

void InferenceRule::reportNoSource(const std::string& target, Walk& walk) {
    Diagnostics& diagnostics = walk.diagnostics();
    if (!walk.missingMeansMissing() || walk.fileTime(target) != 0 ||
        !diagnostics.firstTime("no source for " + target)) {
        return;
    }
    std::string sources = sourceOf(target);
    const std::vector<Rule*>& others = namesakes(walk);
    for (std::size_t i = 0; i < others.size(); ++i) {
        const std::string source = others[i]->sourceOf(target);
        if (!source.empty()) {
            sources += i + 1 == others.size() ? " or " : ", ";
            sources += source;
        }
    }
    diagnostics.warn("%s: no %s and no rule to make it", target.c_str(), sources.c_str());
}

void InferenceRule::watch(Job& job, Walk& walk) const {
    // A command that writes its output elsewhere (cc -c src/main.c writes
    // ./main.o) otherwise surfaces only as a failure of a later step.
    FileTimeCache& files = walk.files();
    Diagnostics& diagnostics = walk.diagnostics();
    job.whenMade = [&files, &diagnostics, target = job.target] {
        if (files.fileTime(target) == 0 && diagnostics.firstTime("missing " + target)) {
            diagnostics.warn("%s: still missing after its commands ran", target.c_str());
        }
    };
}

Decision InferenceRule::isOutOfDate(const std::string& target, Walk& walk) {
    Decision decision;
    const std::string source = sourceOf(target);
    walk.dependsOn(target, source, this);
    Rule* const rule = walk.ruleFor(source);
    if (rule != nullptr && walk.makeDependency(*rule, source, decision, false)) {
        decision.found(Decision::Cause::SourceMade, source);
        return decision;
    }
    const FileTime sourceTime = walk.fileTime(source);
    const FileTime targetTime = walk.fileTime(target);
    if (sourceTime == 0 && rule == nullptr) {
        reportNoSource(target, walk);
    }
    if (sourceTime > targetTime) {
        decision.found(Decision::Cause::SourceNewer, source, sourceTime, targetTime);
    } else if (walk.readsDependencyFiles()) {
        newerInDependencyFile(target, targetTime, walk, decision);
    }
    return decision;
}

void InferenceRule::forEachDependency(const std::string& target,
                                      const std::function<void(const std::string&)>& visit) const {
    visit(sourceOf(target));
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
        if (isWaitMark(item->text())) {
            walk.waitForMade(decision);
            continue;
        }
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
    // The dependencies from here on have not been looked at on disk.
    const ListItem* unseen = dependencies.head();
    if (!made) {
        const FileTime targetTime = walk.fileTime(target);
        bool newer = false;
        for (; unseen != nullptr && !newer; unseen = unseen->next()) {
            if (isWaitMark(unseen->text())) {
                continue;
            }
            const FileTime time = walk.fileTime(unseen->text());
            if (time == 0 && walk.ruleFor(unseen->text()) == nullptr) {
                walk.reportMissing(unseen->text(), target);
            }
            if (time > targetTime) {
                decision.found(Decision::Cause::DependencyNewer, unseen->text(), time, targetTime);
                newer = true;
            }
        }
        if (!newer && walk.readsDependencyFiles()) {
            newerInDependencyFile(target, targetTime, walk, decision);
        }
    }
    // The commands will run: a name that cannot be had is said before they fail on it.
    if (decision.outOfDate) {
        for (; unseen != nullptr; unseen = unseen->next()) {
            if (!isWaitMark(unseen->text()) && walk.ruleFor(unseen->text()) == nullptr &&
                walk.fileTime(unseen->text()) == 0) {
                walk.reportMissing(unseen->text(), target);
            }
        }
    }
    return decision;
}

void TargetRule::forEachDependency(const std::string&,
                                   const std::function<void(const std::string&)>& visit) const {
    for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
        if (!isWaitMark(item->text())) {
            visit(item->text());
        }
    }
}

void TargetRule::expandSpecials(std::string& line, const std::string& target) const {
    if (line.find("$@") != std::string::npos) {
        std::string names;
        bool first = true;
        for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
            if (isWaitMark(item->text())) {
                continue;
            }
            if (!first) {
                names += ' ';
            }
            first = false;
            names += withoutDirectory(item->text());
        }
        replaceSpecial(line, "$@", names);
    }
    replaceSpecial(line, "$<", target);
    replaceSpecial(line, "$*", withoutExtension(target));
}
