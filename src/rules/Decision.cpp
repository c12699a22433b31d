#include "rules/Decision.h"

namespace {

Decision outOfDate(Decision::Cause cause, std::string_view name = std::string_view(),
                   FileTime time = 0, FileTime targetTime = 0,
                   std::string_view listedIn = std::string_view()) {
    Decision decision;
    decision.outOfDate = true;
    decision.cause = cause;
    decision.name = name;
    decision.time = time;
    decision.targetTime = targetTime;
    decision.listedIn = listedIn;
    return decision;
}

// Content and command decide, times do not: a touched file changes nothing,
// an older one with other content does.
Decision decideByRecord(const Evidence& evidence, const Evidence::Recorded& recorded) {
    if (recorded.commandChanged) {
        return outOfDate(Decision::Cause::CommandChanged);
    }
    switch (recorded.inputs) {
    case Evidence::Recorded::Inputs::Same:
        return Decision();
    case Evidence::Recorded::Inputs::Differ:
        return outOfDate(Decision::Cause::ContentChanged, recorded.changed);
    case Evidence::Recorded::Inputs::Pending:
        break;
    }
    for (const Evidence::Dependency& dependency : evidence.dependencies) {
        if (dependency.made) {
            Decision decision = outOfDate(evidence.fromSource ? Decision::Cause::SourceMade
                                                              : Decision::Cause::DependencyMade,
                                          dependency.name);
            decision.untilSameContent = true;
            return decision;
        }
    }
    // Pending without a made dependency: nothing to wait for, so the content
    // cannot be known; made as times alone would have it.
    return outOfDate(Decision::Cause::ContentChanged);
}

} // namespace

Decision decide(const Evidence& evidence) {
    // Made for its effects, a rule without dependencies is out of date
    // whatever the times say.
    if (evidence.dependencies.empty() && !evidence.fromSource) {
        return outOfDate(Decision::Cause::NoDependencies);
    }
    if (evidence.recorded) {
        return decideByRecord(evidence, *evidence.recorded);
    }
    // A made dependency settles it before any time does.
    const Evidence::Dependency* newer = nullptr;
    for (const Evidence::Dependency& dependency : evidence.dependencies) {
        if (dependency.made) {
            return outOfDate(evidence.fromSource ? Decision::Cause::SourceMade
                                                 : Decision::Cause::DependencyMade,
                             dependency.name);
        }
        if (newer == nullptr && isNewer(dependency.time, evidence.targetTime)) {
            newer = &dependency;
        }
    }
    if (newer != nullptr) {
        return outOfDate(evidence.fromSource ? Decision::Cause::SourceNewer
                                             : Decision::Cause::DependencyNewer,
                         newer->name, newer->time, evidence.targetTime);
    }
    for (const Evidence::Listed& listed : evidence.listed) {
        if (listed.time == 0) {
            return outOfDate(Decision::Cause::ListedMissing, listed.name, 0, evidence.targetTime,
                             evidence.listedBy);
        }
        if (isNewer(listed.time, evidence.targetTime)) {
            return outOfDate(Decision::Cause::DependencyNewer, listed.name, listed.time,
                             evidence.targetTime, evidence.listedBy);
        }
    }
    return Decision();
}

std::string explanation(const std::string& target, const Decision& decision) {
    std::string text = target + ": ";
    switch (decision.cause) {
    case Decision::Cause::None:
        break;
    case Decision::Cause::DependencyMade:
    case Decision::Cause::SourceMade:
        text += decision.cause == Decision::Cause::SourceMade ? "source " : "dependency ";
        text += decision.name;
        text += " has just been made";
        break;
    case Decision::Cause::DependencyNewer:
    case Decision::Cause::SourceNewer:
        if (decision.targetTime == 0) {
            text += "the target does not exist";
            break;
        }
        text += decision.cause == Decision::Cause::SourceNewer ? "source " : "dependency ";
        text += decision.name;
        text += " (" + fileTimeText(decision.time) + ") is newer than the target (" +
                fileTimeText(decision.targetTime) + ")";
        if (!decision.listedIn.empty()) {
            text += ", as ";
            text += decision.listedIn;
            text += " lists it";
        }
        break;
    case Decision::Cause::NoDependencies:
        text += "the rule has no dependencies";
        break;
    case Decision::Cause::CommandChanged:
        text += "its command changed";
        break;
    case Decision::Cause::ContentChanged:
        if (decision.name.empty()) {
            text += "what it is made from changed";
            break;
        }
        text += "the content of ";
        text += decision.name;
        text += " changed";
        break;
    case Decision::Cause::ListedMissing:
        text += decision.name;
        text += ", which ";
        text += decision.listedIn;
        text += " lists, does not exist";
        break;
    }
    return text;
}
