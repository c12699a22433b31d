#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

class FoundPrograms;

// Where a child's standard streams go: the tool's own where -1; otherwise the
// descriptor is made the child's stream, and input, when `nullInput` is set,
// comes from /dev/null.
struct ChildStreams {
    bool nullInput = false;
    int output = -1;
    int error = -1;
};

// Starts a command line with the tool's environment and directory: directly,
// split at blanks, when it holds nothing a shell would interpret, and through
// /bin/sh -c when it does, when the program is not found or when it is no
// program the system starts. A program is started by the path that `programs`
// found for it, if any. The child starts with the signal mask that the
// tool started with, whatever the caller holds back meanwhile, and, with
// `ownGroup`, in a process group of its own. Returns 0, or the system's error
// when no start succeeded.
int launchProcess(const std::string& commandLine, FoundPrograms& programs,
                  const ChildStreams& streams, bool ownGroup, pid_t& child);

// The exit code of a child by its wait status: 128 + the signal that ended it.
std::uint32_t exitCodeOf(int waitStatus);
