#include "rules/Rule.h"

#include "containers/NameCompare.h"
#include "exec/Executor.h"
#include "exec/Job.h"
#include "platform/Platform.h"
#include "rules/MakeContext.h"
#include "rules/RuleTable.h"
#include "text/CommandMacros.h"
#include "text/InlineBlock.h"

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

std::optional<JobId> Rule::runCommands(const std::string& target, MakeContext& context,
                                       const Decision& decision) {
    if (context.status() != 0) {
        return std::nullopt;
    }
    Job job = jobFor(target);
    job.after = decision.after;
    job.targetTime = context.platform.fileTime(target);
    if (context.explains() && decision.outOfDate) {
        job.reason = explanation(target, decision);
    }
    return context.executor.submit(std::move(job));
}

bool Rule::newerInDependencyFile(const std::string& target, FileTime targetTime,
                                 MakeContext& context, Decision& decision) const {
    DependencyFiles* files = context.dependencyFiles();
    std::string path = files->nameTemplate();
    expandSpecials(path, target);
    WalkObserver* observer = context.observer();
    bool newer = false;
    for (const std::string& name : files->namesIn(path, context.platform)) {
        if (observer != nullptr) {
            observer->listedIn(target, name);
        }
        // A file that a job of this run writes (a generated header) has the
        // time that the one-job run would see only once that job has ended.
        if (const std::optional<JobId> job = context.jobMaking(name)) {
            context.executor.waitFor(*job);
        }
        const FileTime time = context.platform.fileTime(name);
        if (!newer && time > targetTime) {
            newer = true;
            decision.found(Decision::Cause::DependencyNewer, name, time, targetTime, path);
            if (observer == nullptr) {
                break;
            }
        }
    }
    return newer;
}

bool Rule::makeDependency(Rule& rule, const std::string& name, MakeContext& context,
                          Decision& decision) {
    if (!rule.make(name, context)) {
        return false;
    }
    if (const std::optional<JobId>& job = context.targetOf(rule, name).job) {
        decision.after.push_back(*job);
    }
    return true;
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

bool Rule::decide(const std::string& target, MakeContext& context) {
    if (context.stopped()) {
        return false;
    }
    MakeContext::Target& record = context.targetOf(*this, target);
    if (record.job && context.makesEachTargetOnce()) {
        return true;
    }
    if (const bool* outcome = context.remembered(record)) {
        return *outcome;
    }
    const ChainEntry entry(context, record, *this, target);
    if (!entry.entered()) {
        return false;
    }
    const std::uint64_t generation = context.generation();
    const Decision decision = isOutOfDate(target, context);
    if (context.stopped()) {
        return false;
    }
    if (WalkObserver* observer = context.observer()) {
        observer->decided(target, decision.outOfDate);
    }
    if (decision.outOfDate) {
        record.job = runCommands(target, context, decision);
        if (record.job) {
            context.noteJobMaking(target, *record.job);
        }
    }
    context.remember(record, generation, decision.outOfDate);
    return decision.outOfDate;
}

bool InferenceRule::make(const std::string& target, MakeContext& context) {
    return decide(target, context);
}

Decision InferenceRule::isOutOfDate(const std::string& target, MakeContext& context) {
    Decision decision;
    const std::string source = withoutExtension(target) + sourceExtension;
    if (WalkObserver* observer = context.observer()) {
        observer->dependsOn(target, source, this);
    }
    if (Rule* rule = context.rules.lookup(source)) {
        if (makeDependency(*rule, source, context, decision)) {
            decision.found(Decision::Cause::SourceMade, source);
            return decision;
        }
    }
    const FileTime sourceTime = context.platform.fileTime(source);
    const FileTime targetTime = context.platform.fileTime(target);
    if (sourceTime > targetTime) {
        decision.found(Decision::Cause::SourceNewer, source, sourceTime, targetTime);
    }
    // The graph shows the dependency file's names whatever the decision.
    if (context.dependencyFiles() != nullptr &&
        (!decision.outOfDate || context.observer() != nullptr)) {
        decision.outOfDate =
            newerInDependencyFile(target, targetTime, context, decision) || decision.outOfDate;
    }
    return decision;
}

void TargetRule::waitForEffects(const Rule& rule, const std::string& name, MakeContext& context) {
    const auto* target = dynamic_cast<const TargetRule*>(&rule);
    if (!context.makesEachTargetOnce() || target == nullptr ||
        target->dependencies.head() != nullptr) {
        return;
    }
    if (const std::optional<JobId>& job = context.targetOf(rule, name).job) {
        context.executor.waitFor(*job);
    }
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

Decision TargetRule::isOutOfDate(const std::string& target, MakeContext& context) {
    Decision decision;
    bool outOfDate = false;
    for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
        if (WalkObserver* observer = context.observer()) {
            observer->dependsOn(target, item->text(), nullptr);
        }
        if (Rule* rule = context.rules.lookup(item->text())) {
            if (makeDependency(*rule, item->text(), context, decision)) {
                decision.found(Decision::Cause::DependencyMade, item->text());
                outOfDate = true;
                if (item->next() != nullptr) {
                    waitForEffects(*rule, item->text(), context);
                }
            }
            if (context.stopped()) {
                return decision;
            }
        }
    }
    if (!outOfDate) {
        const FileTime targetTime = context.platform.fileTime(target);
        for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
            const FileTime time = context.platform.fileTime(item->text());
            if (time > targetTime) {
                outOfDate = true;
                decision.found(Decision::Cause::DependencyNewer, item->text(), time, targetTime);
                break;
            }
        }
        if (context.dependencyFiles() != nullptr && (!outOfDate || context.observer() != nullptr)) {
            outOfDate = newerInDependencyFile(target, targetTime, context, decision) || outOfDate;
        }
    } else if (context.dependencyFiles() != nullptr && context.observer() != nullptr) {
        newerInDependencyFile(target, context.platform.fileTime(target), context, decision);
    }
    if (dependencies.head() == nullptr) {
        outOfDate = true;
        decision.found(Decision::Cause::NoDependencies, std::string());
    }
    decision.outOfDate = outOfDate;
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
