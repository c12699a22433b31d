#pragma once

#include <string>

// How a POSIX command line is started: directly, split at blanks, when it holds
// nothing a shell would interpret; otherwise through /bin/sh -c.
bool needsShell(const std::string& line);
// The line for /bin/sh, with the "$" of the tool's temporary names (".$$$")
// escaped so that they reach the command intact.
std::string shellLine(const std::string& line);
// The text as one word of a command line, started directly or by /bin/sh:
// unchanged unless it holds a blank or anything a shell would interpret, else
// in single quotes.
std::string shellWord(const std::string& text);
