#pragma once

#include "exec/Job.h"
#include "platform/FileTime.h"

#include <string>
#include <vector>

// What one decision found: whether the target is out of date and the evidence
// why, and the jobs of its dependencies that were made, which must end before
// its own starts.
struct Decision {
    enum class Cause {
        None,
        DependencyMade,
        SourceMade,
        DependencyNewer,
        SourceNewer,
        NoDependencies,
    };

    // Records the first cause found; later ones leave the evidence as it is.
    void found(Cause why, const std::string& what, FileTime whatTime = 0, FileTime target = 0,
               const std::string& listedBy = std::string()) {
        outOfDate = true;
        if (cause == Cause::None) {
            cause = why;
            name = what;
            time = whatTime;
            targetTime = target;
            listedIn = listedBy;
        }
    }

    bool outOfDate = false;
    Cause cause = Cause::None;
    // The dependency or source that the cause names.
    std::string name;
    // Its time and the target's, where the cause is a newer file.
    FileTime time = 0;
    FileTime targetTime = 0;
    // The dependency file that listed the name, if one did.
    std::string listedIn;
    std::vector<JobId> after;
};

// Why the target is out of date, as --explain says it: "target: reason".
std::string explanation(const std::string& target, const Decision& decision);
