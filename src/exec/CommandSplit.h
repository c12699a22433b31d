#pragma once

#include <string>

// How a POSIX command line is started: directly, split at blanks, when it holds
// nothing a shell would interpret; otherwise through /bin/sh -c.
bool needsShell(const std::string& line);
// The line for /bin/sh, with the "$" of the tool's temporary names (".$$$")
// escaped so that they reach the command intact.
std::string shellLine(const std::string& line);
