#pragma once

#include <optional>
#include <string>

class Platform;
struct Job;
struct JobCommand;

// The command line to start for one command of a job. For a command that opens
// an inline file, the file is written first, under a fresh temporary name that
// takes the place of the "<<" and what follows it. Returns nothing after an
// error, which has been reported.
std::optional<std::string> commandToStart(Platform& platform, const Job& job,
                                          const JobCommand& command);
