#include "rules/Decision.h"

std::string explanation(const std::string& target, const Decision& decision) {
    std::string text = target + ": ";
    switch (decision.cause) {
    case Decision::Cause::None:
        break;
    case Decision::Cause::DependencyMade:
    case Decision::Cause::SourceMade:
        text += decision.cause == Decision::Cause::SourceMade ? "source " : "dependency ";
        text += decision.name + " has just been made";
        break;
    case Decision::Cause::DependencyNewer:
    case Decision::Cause::SourceNewer:
        if (decision.targetTime == 0) {
            text += "the target does not exist";
            break;
        }
        text += decision.cause == Decision::Cause::SourceNewer ? "source " : "dependency ";
        text += decision.name + " (" + fileTimeText(decision.time) +
                ") is newer than the target (" + fileTimeText(decision.targetTime) + ")";
        if (!decision.listedIn.empty()) {
            text += ", as " + decision.listedIn + " lists it";
        }
        break;
    case Decision::Cause::NoDependencies:
        text += "the rule has no dependencies";
        break;
    }
    return text;
}
