#pragma once

#include "platform/TemporaryFile.h"

#include <optional>
#include <string>

class Diagnostics;
class Platform;
struct Job;
struct JobCommand;

// One command of a job, ready to start: its command line, and the inline file
// it opens, if any, held until the command has ended.
struct CommandToStart {
    std::string line;
    TemporaryFile inlineFile;
};

// Prepares one command of a job. For a command that opens an inline file, the
// file is written first under a fresh temporary name, which takes the place of
// the "<<" and what follows it; with `keep` the file stays when it is released.
// A line longer than where it starts accepts is refused. Returns nothing after
// an error, which has been reported.
std::optional<CommandToStart> commandToStart(Platform& platform, const Job& job,
                                             const JobCommand& command, bool keep,
                                             Diagnostics& diagnostics);
