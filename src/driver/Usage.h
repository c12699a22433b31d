#pragma once

#include <string>

// What --help prints: every option, the macros that come from outside the
// makefile and the exit statuses.
extern const char kUsageText[];

// What --version prints: "tarvo 1.1.0", then " (commit abcdef1)" for a build
// configured in a git checkout, then a line end.
std::string versionText();
