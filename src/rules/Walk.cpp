#include "rules/Walk.h"

#include "containers/NameCompare.h"
#include "exec/Executor.h"
#include "platform/Interrupts.h"
#include "platform/TempNames.h"
#include "rules/Rule.h"
#include "rules/RuleTable.h"
#include "rules/WalkObserver.h"
#include "text/Diagnostics.h"
#include "text/ErrorReport.h"

namespace {

// A wildcard's time is its first match's, and its content that of no file:
// such a target is left to times.
bool namesByWildcard(const Evidence& evidence) {
    for (const Evidence::Dependency& dependency : evidence.dependencies) {
        if (hasWildcard(dependency.name)) {
            return true;
        }
    }
    return false;
}

} // namespace

Walk::Outcome Walk::make(const std::string& target) {
    Rule* rule = rules_.lookup(target);
    if (rule == nullptr) {
        // The jobs handed over are made in full first, as the one-job run
        // has made them before it comes to this name.
        outcome_ = executor_.finish();
        return Outcome::NoRule;
    }
    const bool outOfDate = decide(*rule, target);
    if (stopped_) {
        executor_.stop();
        return Outcome::Stopped;
    }
    return outOfDate ? Outcome::OutOfDate : Outcome::UpToDate;
}

int Walk::finish() {
    outcome_ = executor_.finish();
    return status();
}

bool Walk::decide(Rule& rule, const std::string& name) {
    if (stopped_) {
        return false;
    }
    if (interruptPending()) {
        // The build defers interrupts to here: the commands that run are
        // waited for, and the run ends.
        outcome_ = executor_.finish();
        endIfInterrupted();
    }
    Rule& maker = rule.kind == Rule::Kind::Inference ? makerOf(rule, name) : rule;
    if (&maker == &rule) {
        return decideWith(rule, name);
    }
    const bool outOfDate = decideWith(maker, name);
    // Whoever waits for the target through this rule waits for the other's job.
    targetOf(rule, name).job = targetOf(maker, name).job;
    return outOfDate;
}

bool Walk::decideWith(Rule& rule, const std::string& name) {
    Target& record = targetOf(rule, name);
    if (record.job && policy_.eachTargetOnce) {
        return true;
    }
    if (const bool* outcome = remembered(record)) {
        return *outcome;
    }
    const ChainEntry entry(*this, record, rule, name);
    if (!entry.entered()) {
        return false;
    }
    const std::uint64_t generation = files_.generation();
    if (frames_.size() < chain_.size()) {
        frames_.emplace_back();
        frames_.back().evidence.dependencies.reserve(4);
    }
    Frame& frame = frames_[chain_.size() - 1];
    // The source of an inference rule, which the evidence views.
    const std::string source = rule.kind == Rule::Kind::Inference
                                   ? static_cast<const InferenceRule&>(rule).sourceOf(name)
                                   : std::string();
    if (!gather(rule, name, source, frame)) {
        return false;
    }
    Decision decision = ::decide(frame.evidence);
    decision.outOfDate = decision.outOfDate || policy_.allOutOfDate;
    record.step = decision.cause == Decision::Cause::NoDependencies;
    if (observer_ != nullptr) {
        report(rule, name, decision);
    }
    if (decision.outOfDate) {
        record.job = runCommands(rule, name, decision, &frame);
        if (record.job && policy_.eachTargetOnce) {
            jobsMaking_[name] = *record.job;
        }
    } else if (record_ != nullptr && recordWrites_ && !frame.evidence.recorded &&
               !record_->target(name) && !namesByWildcard(frame.evidence) &&
               files_.fileStamp(name).exists()) {
        // Times call it up to date: turning the record on rebuilds nothing.
        recordMade(rule, name, rule.commandDigest(name), false);
    }
    remember(record, generation, decision.outOfDate);
    return decision.outOfDate;
}

Rule& Walk::makerOf(Rule& rule, const std::string& name) {
    if (rule.kind != Rule::Kind::Inference) {
        return rule;
    }
    InferenceRule& inference = static_cast<InferenceRule&>(rule);
    // A rule alone for its extension makes the target; its decision says
    // when the source is missing.
    if (!inference.namesakes) {
        inference.namesakes = rules_.othersNamedLike(inference);
    }
    const std::vector<Rule*>& others = *inference.namesakes;
    if (others.empty() || canBeHad(inference.sourceOf(name))) {
        return rule;
    }
    // With .cpp.o found first, C objects still come from .c.o: the first
    // other rule for the extension, in the order a lookup meets them, whose
    // source exists or has a rule.
    for (Rule* other : others) {
        const std::string source = other->sourceOf(name);
        if (!source.empty() && canBeHad(source)) {
            return *other;
        }
    }
    return rule;
}

const std::vector<Rule*>& Walk::namesakesOf(InferenceRule& rule) {
    if (!rule.namesakes) {
        rule.namesakes = rules_.othersNamedLike(rule);
    }
    return *rule.namesakes;
}

bool Walk::canBeHad(const std::string& source) {
    return ruleFor(source) != nullptr || files_.fileTime(source) != 0;
}

bool Walk::gather(Rule& rule, const std::string& name, const std::string& source, Frame& frame) {
    Evidence& evidence = frame.evidence;
    evidence.clear();
    frame.after.clear();
    if (rule.kind == Rule::Kind::Inference) {
        evidence.fromSource = true;
        Evidence::Dependency dependency;
        dependency.name = source;
        dependsOn(name, source, static_cast<const InferenceRule*>(&rule));
        if (Rule* maker = ruleFor(source)) {
            dependency.hasRule = true;
            dependency.made = makeDependency(*maker, source, frame.after, false);
        }
        evidence.dependencies.push_back(dependency);
    } else {
        makeDependencies(static_cast<const TargetRule&>(rule), name, frame);
    }
    if (stopped_) {
        return false;
    }
    const bool times = needsTimes(evidence);
    if (times) {
        look(name, evidence.targetTime, evidence.targetVersion);
    }
    // A name without a rule is looked at whatever the decision, to say before
    // any command runs that it cannot be had.
    if (evidence.fromSource) {
        Evidence::Dependency& dependency = evidence.dependencies.front();
        if (times) {
            look(source, dependency.time, dependency.version);
        }
        if (dependency.missing()) {
            reportNoSource(static_cast<InferenceRule&>(rule), name, evidence.targetTime);
        }
    } else {
        // One entry for each item of the list, in its order.
        const ListItem* item = static_cast<const TargetRule&>(rule).dependencies.head();
        for (Evidence::Dependency& dependency : evidence.dependencies) {
            if (!dependency.waitMark && (times || !dependency.hasRule)) {
                look(item->text(), dependency.time, dependency.version);
                if (dependency.missing()) {
                    reportMissing(item->text(), name);
                }
            }
            item = item->next();
        }
    }
    if (times && dependencyFiles_ != nullptr && needsListed(evidence)) {
        gatherListed(rule, name, frame);
    }
    if (record_ != nullptr && !policy_.allOutOfDate) {
        gatherRecorded(rule, name, source, frame);
    }
    return true;
}

void Walk::look(const std::string& name, FileTime& time, std::uint64_t& version) {
    if (record_ == nullptr || hasWildcard(name)) {
        time = files_.fileTime(name);
        return;
    }
    const FileStamp stamp = files_.fileStamp(name);
    time = stamp.time;
    version = stamp.version;
}

void Walk::gatherRecorded(const Rule& rule, const std::string& name, const std::string& source,
                          Frame& frame) {
    const std::optional<BuildRecord::Made> made = record_->target(name);
    const bool times = needsTimes(frame.evidence);
    if (!made || namesByWildcard(frame.evidence) ||
        (times ? frame.evidence.targetTime == 0 : !files_.fileStamp(name).exists())) {
        return;
    }
    Evidence::Recorded recorded;
    recorded.commandChanged = rule.commandDigest(name) != made->command;
    if (!recorded.commandChanged) {
        if (!times) {
            recorded.inputs = Evidence::Recorded::Inputs::Pending;
        } else if (inputsOf(rule, name, source, &recorded.changed, &frame.evidence) !=
                   made->inputs) {
            recorded.inputs = Evidence::Recorded::Inputs::Differ;
        }
    }
    frame.evidence.recorded = recorded;
}

BuildRecord::Digest Walk::inputsOf(const Rule& rule, const std::string& name,
                                   const std::string& source, std::string_view* changed,
                                   const Evidence* evidence) {
    InputsDigest inputs;
    const auto addStamped = [&](std::string_view dependency, const FileStamp& stamp) {
        const std::optional<BuildRecord::Content> content =
            record_->contentOf(dependency, stamp, files_);
        inputs.add(dependency,
                   content ? std::optional<BuildRecord::Digest>(content->digest) : std::nullopt);
        if (changed != nullptr && changed->empty() && (!content || content->changed)) {
            *changed = dependency;
        }
    };
    const auto add = [&](const std::string& dependency) {
        // A file that the record does not know is read whatever its stamp says.
        if (!record_->knows(dependency)) {
            const std::optional<BuildRecord::Content> content =
                record_->contentRead(dependency, files_);
            inputs.add(dependency, content ? std::optional<BuildRecord::Digest>(content->digest)
                                           : std::nullopt);
            if (changed != nullptr && changed->empty()) {
                *changed = dependency;
            }
            return;
        }
        addStamped(dependency, files_.fileStamp(dependency));
    };
    if (evidence != nullptr) {
        // Every time was looked at, with its stamp.
        for (const Evidence::Dependency& dependency : evidence->dependencies) {
            if (!dependency.waitMark) {
                addStamped(dependency.name, FileStamp{dependency.time, dependency.version});
            }
        }
    } else if (rule.kind == Rule::Kind::Inference) {
        add(source);
    } else {
        for (const ListItem* item = static_cast<const TargetRule&>(rule).dependencies.head();
             item != nullptr; item = item->next()) {
            if (!TargetRule::isWaitMark(item->text())) {
                add(item->text());
            }
        }
    }
    if (dependencyFiles_ != nullptr) {
        for (const std::string& listed : namesListedIn(dependencyFileOf(rule, name))) {
            add(listed);
        }
    }
    return inputs.value();
}

void Walk::recordMade(const Rule& rule, const std::string& name, BuildRecord::Digest command,
                      bool justMade) {
    // Just written, it is read whatever its stamp says.
    const std::optional<BuildRecord::Content> content =
        justMade ? record_->contentRead(name, files_, true)
                 : record_->contentOf(name, files_.fileStamp(name), files_);
    // A target that its commands leave without a file is decided by times.
    if (!content && !files_.fileStamp(name).exists()) {
        return;
    }
    const std::string source = rule.sourceOf(name);
    record_->update(name, command, inputsOf(rule, name, source, nullptr),
                    content ? std::optional<BuildRecord::Digest>(content->digest) : std::nullopt);
}

void Walk::recordWhenMade(const Rule& rule, const Decision& decision, const Evidence& evidence,
                          Job& job) {
    const BuildRecord::Digest command = rule.commandDigest(job.target);
    job.whenMade = [this, &rule, name = job.target, command, check = std::move(job.whenMade)] {
        if (check) {
            check();
        }
        recordMade(rule, name, command, true);
    };
    if (!decision.untilSameContent) {
        return;
    }
    std::vector<std::string> made;
    for (const Evidence::Dependency& dependency : evidence.dependencies) {
        if (dependency.made) {
            made.emplace_back(dependency.name);
        }
    }
    job.stillNeeded = [this, &rule, name = job.target, made = std::move(made)] {
        // A dependency made for its effects, with no file, makes its
        // dependents as it always has.
        for (const std::string& dependency : made) {
            if (!files_.fileStamp(dependency).exists()) {
                return true;
            }
        }
        const std::optional<BuildRecord::Made> known = record_->target(name);
        const std::string source = rule.sourceOf(name);
        if (!known || inputsOf(rule, name, source, nullptr) != known->inputs) {
            return true;
        }
        if (policy_.explain) {
            diagnostics_.note("%s: %s was made again with the same content", name.c_str(),
                              made.front().c_str());
        }
        return false;
    };
}

void Walk::makeDependencies(const TargetRule& rule, const std::string& name, Frame& frame) {
    for (const ListItem* item = rule.dependencies.head(); item != nullptr; item = item->next()) {
        Evidence::Dependency dependency;
        dependency.name = item->text();
        if (TargetRule::isWaitMark(item->text())) {
            dependency.waitMark = true;
            frame.evidence.dependencies.push_back(dependency);
            waitFor(frame.after);
            continue;
        }
        dependsOn(name, item->text(), nullptr);
        if (Rule* maker = ruleFor(item->text())) {
            dependency.hasRule = true;
            dependency.made =
                makeDependency(*maker, item->text(), frame.after, item->next() != nullptr);
            if (stopped_) {
                return;
            }
        }
        frame.evidence.dependencies.push_back(dependency);
    }
}

void Walk::gatherListed(const Rule& rule, const std::string& name, Frame& frame) {
    Evidence& evidence = frame.evidence;
    frame.dependencyFile = dependencyFileOf(rule, name);
    evidence.listedBy = frame.dependencyFile;
    for (const std::string& listed : namesListedIn(frame.dependencyFile)) {
        checkListedName(name, listed);
        const FileTime time = listedTime(listed);
        evidence.listed.push_back({listed, time});
        if (time == 0 || isNewer(time, evidence.targetTime)) {
            return;
        }
    }
}

bool Walk::makeDependency(Rule& rule, const std::string& name, std::vector<JobId>& after,
                          bool siblingsFollow) {
    if (!decide(rule, name)) {
        return false;
    }
    const Target& record = targetOf(rule, name);
    if (record.job) {
        after.push_back(*record.job);
        if (siblingsFollow && record.step && policy_.stepsEndBeforeSiblings) {
            outcome_ = executor_.waitFor(*record.job);
        }
    }
    return true;
}

Rule* Walk::ruleFor(const std::string& name) const {
    return rules_.lookup(name);
}

void Walk::waitFor(const std::vector<JobId>& jobs) {
    if (!policy_.eachTargetOnce) {
        return;
    }
    for (const JobId job : jobs) {
        outcome_ = executor_.waitFor(job);
    }
}

void Walk::reportMissing(const std::string& dependency, const std::string& target) {
    if (missingMeansMissing() && diagnostics_.firstTime("no rule for " + dependency)) {
        diagnostics_.warn("%s: no file and no rule to make it (needed by %s)", dependency.c_str(),
                          target.c_str());
    }
}

void Walk::reportNoSource(InferenceRule& rule, const std::string& target, FileTime targetTime) {
    if (!missingMeansMissing() || targetTime != 0 ||
        !diagnostics_.firstTime("no source for " + target)) {
        return;
    }
    std::string sources = rule.sourceOf(target);
    const std::vector<Rule*>& others = namesakesOf(rule);
    for (std::size_t i = 0; i < others.size(); ++i) {
        const std::string source = others[i]->sourceOf(target);
        if (!source.empty()) {
            sources += i + 1 == others.size() ? " or " : ", ";
            sources += source;
        }
    }
    diagnostics_.warn("%s: no %s and no rule to make it", target.c_str(), sources.c_str());
}

std::string Walk::dependencyFileOf(const Rule& rule, const std::string& target) const {
    std::string path = dependencyFiles_->nameTemplate();
    rule.expandSpecials(path, target);
    return path;
}

const std::vector<std::string>& Walk::namesListedIn(const std::string& path) {
    return dependencyFiles_->namesIn(path, files_, diagnostics_);
}

FileTime Walk::listedTime(const std::string& name) {
    if (policy_.eachTargetOnce) {
        if (const JobId* job = jobsMaking_.find(name)) {
            outcome_ = executor_.waitFor(*job);
        }
    }
    return files_.fileTime(name);
}

void Walk::checkListedName(const std::string& target, const std::string& listed) {
    // Most names listed, the system's headers, have no rule.
    Rule* const rule = ruleFor(listed);
    if (rule == nullptr) {
        return;
    }
    ListedCheck& check = listedChecks_[listed];
    if (check.said || !makesFile(*rule, listed) || reaches(target, listed, check.reaching, 0)) {
        return;
    }
    check.said = true;
    diagnostics_.warn("%s reads %s, which this makefile makes, but nothing makes %s depend on it: "
                      "add it to the dependencies, or the build may read an old %s",
                      target.c_str(), listed.c_str(), target.c_str(), listed.c_str());
}

bool Walk::makesFile(Rule& rule, const std::string& name) {
    Rule& maker = makerOf(rule, name);
    if (maker.commands.head() == nullptr) {
        return false;
    }
    const std::string source = maker.sourceOf(name);
    return source.empty() || ruleFor(source) != nullptr || files_.fileTime(source) != 0;
}

bool Walk::reaches(const std::string& from, const std::string& to,
                   std::unordered_map<std::string, bool>& known, std::size_t depth) {
    if (kFileNamesIgnoreCase ? sameName(from, to) : from == to) {
        return true;
    }
    const auto found = known.find(from);
    if (found != known.end()) {
        return found->second;
    }
    // Marked first: a cycle, which the walk reports, leads nowhere new.
    known.emplace(from, false);
    Rule* const rule = ruleFor(from);
    if (rule == nullptr || depth >= kMaxDepth) {
        return false;
    }
    bool reached = false;
    makerOf(*rule, from).forEachDependency(from, [&](const std::string& name) {
        reached = reached || reaches(name, to, known, depth + 1);
    });
    known[from] = reached;
    return reached;
}

void Walk::dependsOn(const std::string& target, const std::string& dependency,
                     const InferenceRule* via) const {
    if (observer_ != nullptr) {
        observer_->dependsOn(target, dependency, via);
    }
}

std::optional<JobId> Walk::runCommands(const Rule& rule, const std::string& target,
                                       const Decision& decision, const Frame* frame) {
    if (status() != 0 && !policy_.keepGoing) {
        return std::nullopt;
    }
    Job job = rule.jobFor(target);
    if (frame != nullptr) {
        job.after = frame->after;
    }
    job.targetTime = files_.fileTime(target);
    if (policy_.explain && decision.outOfDate) {
        job.reason = explanation(target, decision);
    }
    if (rule.kind == Rule::Kind::Inference) {
        watchOutput(job);
    }
    if (record_ != nullptr && recordWrites_ && frame != nullptr &&
        !namesByWildcard(frame->evidence)) {
        recordWhenMade(rule, decision, frame->evidence, job);
    }
    handedOver_ = true;
    const Submitted submitted = executor_.submit(std::move(job));
    outcome_ = submitted.status;
    return submitted.job;
}

void Walk::watchOutput(Job& job) {
    FileTimeCache& files = files_;
    Diagnostics& diagnostics = diagnostics_;
    job.whenMade = [&files, &diagnostics, target = job.target] {
        if (files.fileTime(target) == 0 && diagnostics.firstTime("missing " + target)) {
            diagnostics.warn("%s: still missing after its commands ran", target.c_str());
        }
    };
}

void Walk::report(const Rule& rule, const std::string& name, const Decision& decision) {
    if (dependencyFiles_ != nullptr) {
        for (const std::string& listed : namesListedIn(dependencyFileOf(rule, name))) {
            observer_->listedIn(name, listed);
        }
    }
    observer_->decided(name, decision.outOfDate);
}

Walk::Target& Walk::targetOf(const Rule& rule, const std::string& name) {
    Record* record = &targets_[name];
    if (record->rule == nullptr) {
        record->rule = &rule;
    }
    while (record->rule != &rule) {
        if (!record->next) {
            record->next = std::make_unique<Record>();
            record->next->rule = &rule;
        }
        record = record->next.get();
    }
    return record->value;
}

void Walk::stop(int status) {
    error_ = status;
    stopped_ = true;
}

bool Walk::enter(Target& target, const Rule& rule, const std::string& name) {
    if (chain_.size() >= kMaxDepth) {
        stop(diagnostics_.error(message::kDependenciesTooDeep, static_cast<int>(kMaxDepth),
                                chain_.front().second->c_str(), name.c_str()));
        return false;
    }
    // The chain ignores letter case, also where decisions are remembered by
    // the exact name: the rule making "A" on the chain makes "a" as well. A
    // rule rarely stands twice on a chain, so the names are seldom compared.
    std::size_t start = 0;
    if (!target.onChain) {
        while (start < chain_.size() &&
               !(chain_[start].first == &rule && sameName(*chain_[start].second, name))) {
            ++start;
        }
        if (start == chain_.size()) {
            target.onChain = true;
            chain_.emplace_back(&rule, &name);
            return true;
        }
    } else {
        while (!(chain_[start].first == &rule && sameName(*chain_[start].second, name))) {
            ++start;
        }
    }
    if (policy_.passesOverCycles) {
        return false;
    }
    std::string cycle;
    for (std::size_t i = start; i < chain_.size(); ++i) {
        cycle += *chain_[i].second;
        cycle += " -> ";
    }
    cycle += name;
    stop(diagnostics_.error(message::kDependencyCycle, cycle.c_str()));
    return false;
}

void Walk::leave(Target& target) {
    chain_.pop_back();
    target.onChain = false;
}

const bool* Walk::remembered(const Target& target) const {
    if (!target.decided || target.generation != files_.generation()) {
        return nullptr;
    }
    return &target.outOfDate;
}

void Walk::remember(Target& target, std::uint64_t generation, bool outOfDate) {
    if (generation == files_.generation() && !stopped_) {
        target.decided = true;
        target.generation = generation;
        target.outOfDate = outOfDate;
    }
}
