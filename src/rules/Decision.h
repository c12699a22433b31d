#pragma once

#include "platform/FileTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the walk found out about one target, the whole ground of its decision.
// The walk gathers it in steps, each only while the ones before leave the
// decision open (see needsTimes and needsListed): a made dependency settles it
// without a look at any time, and a newer one before any dependency file is
// read. The names are views of what the rules and the walk hold for the time
// of one decision.
//
// Further evidence joins without reshaping: what is known of one dependency
// (its content, say) goes into Dependency, and what a record of earlier runs
// says of the target (the command that made it) into a part of its own beside
// the others.
struct Evidence {
    struct Dependency {
        std::string_view name;
        // A .WAIT mark, which parts the list into groups made one after the
        // other; no dependency.
        bool waitMark = false;
        bool hasRule = false;
        // Its rule found it out of date in this run: its commands have run,
        // or will before the target's.
        bool made = false;
        // 0 where there is no file, and where the time was not looked at: only
        // while no dependency was made, or where the name has no rule.
        FileTime time = 0;
        // The version of the file where its time was looked at for the build
        // record; 0 otherwise.
        std::uint64_t version = 0;

        // A name that there is no way to have: no file and no rule.
        bool missing() const { return !waitMark && !hasRule && time == 0; }
    };
    // A name that the target's dependency file lists.
    struct Listed {
        std::string_view name;
        FileTime time = 0;
    };

    // What the build record says of a target that it knows and that exists:
    // the record decides by content and command, not by times.
    struct Recorded {
        bool commandChanged = false;
        enum class Inputs {
            Same,
            Differ,
            // A dependency is made in this run: its content is known only
            // once its job has ended.
            Pending,
        };
        Inputs inputs = Inputs::Same;
        // A dependency whose content is not what the record held, where one is.
        std::string_view changed;
    };

    void clear() {
        recorded.reset();
        fromSource = false;
        targetTime = 0;
        targetVersion = 0;
        dependencies.clear();
        listedBy = std::string_view();
        listed.clear();
    }

    // The one dependency is the source that an inference rule makes the
    // target from.
    bool fromSource = false;
    // 0 where there is no file, and where it was not looked at.
    FileTime targetTime = 0;
    std::uint64_t targetVersion = 0; // as a dependency's version
    // In the order of the makefile, .WAIT marks included.
    std::vector<Dependency> dependencies;
    // The dependency file, where it was read, and the names it lists up to the
    // first that is newer than the target or gone.
    std::string_view listedBy;
    std::vector<Listed> listed;
    // Where a build record is kept and knows the target.
    std::optional<Recorded> recorded;
};

// Whether the target is out of date, and why: the first cause that the
// evidence shows. The names are views of the evidence's.
struct Decision {
    enum class Cause {
        None,
        DependencyMade,
        SourceMade,
        DependencyNewer,
        SourceNewer,
        NoDependencies,
        // A name that the dependency file lists is gone: the next compile
        // says so, where the old target would hide it until a clean build.
        ListedMissing,
        // The build record's: the command differs from the one that made the
        // target, or what it is made from has other content.
        CommandChanged,
        ContentChanged,
    };

    bool outOfDate = false;
    Cause cause = Cause::None;
    // The dependency or source that the cause names.
    std::string_view name;
    // Its time and the target's, where the cause is a newer file.
    FileTime time = 0;
    FileTime targetTime = 0;
    // The dependency file that listed the name, if one did.
    std::string_view listedIn;
    // Out of date only because a dependency is made: under the build record,
    // the target need not be made when each comes out with the content it had.
    bool untilSameContent = false;
};

// The decision over the evidence. It looks at nothing else.
Decision decide(const Evidence& evidence);

// How far the walk looks. Times count whole: all 64 bits, unsigned, so that no
// time is too late or too fine to compare.
inline bool isNewer(FileTime time, FileTime than) {
    return time > than;
}
// Whether the times of the target and its dependencies can change the
// decision: not once a dependency was made.
inline bool needsTimes(const Evidence& evidence) {
    for (const Evidence::Dependency& dependency : evidence.dependencies) {
        if (dependency.made) {
            return false;
        }
    }
    return true;
}
// Whether the names of the dependency file can change the decision: not once
// a dependency was made or is newer. Those are looked at up to the first one
// newer than the target; the names after it are neither waited for nor checked.
inline bool needsListed(const Evidence& evidence) {
    for (const Evidence::Dependency& dependency : evidence.dependencies) {
        if (dependency.made || isNewer(dependency.time, evidence.targetTime)) {
            return false;
        }
    }
    return true;
}

// Why the target is out of date, as --explain says it: "target: reason".
std::string explanation(const std::string& target, const Decision& decision);
