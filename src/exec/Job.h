#pragma once

#include "platform/FileTime.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// One command line of a job, with its special macros replaced. A line that
// opens an inline file carries the file's lines.
struct JobCommand {
    std::string line;
    // Where the "<<" that opens an inline file stands; npos when there is none.
    std::size_t inlineAt = std::string::npos;
    std::vector<std::string> inlineLines;
    // False when the rule's lines ended before the inline file's terminator.
    bool inlineTerminated = true;

    bool opensInlineFile() const { return inlineAt != std::string::npos; }
};

using JobId = std::size_t;

// What brings one target up to date: its commands, in order, as the decision
// hands them over to be run.
struct Job {
    std::string target;
    std::vector<JobCommand> commands;
    // Why the target is out of date, when that is to be explained; else empty.
    std::string reason;
    // The jobs that must end before this one starts.
    std::vector<JobId> after;
    // The target's time as the decision saw it, before any command ran.
    FileTime targetTime = 0;
    // Called once every command has run and none failed so that the build
    // stops; empty when nothing is to be checked then.
    std::function<void()> whenMade;
    // Asked once the jobs in `after` have ended, before the first command
    // starts: false when the target need not be made after all (under the
    // build record, what it is made from came out as it was). Empty: it is.
    std::function<bool()> stillNeeded;
};
