#pragma once

#include <string>

// The tool's temporary files: "tarvo" + anything + ".$$$", letter case ignored
// only where the platform's names ignore it (PlatformConventions.h).
bool isTemporaryName(const std::string& name);
std::string temporaryName(int number);
// Matches a name against a pattern of * and ? wildcards, letter case ignored
// unless it is to match exactly.
bool matchesWildcard(const char* pattern, const char* name, bool exactCase = false);
