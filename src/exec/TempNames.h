#pragma once

#include <string>

// The tool's temporary files: "tarvo" + anything + ".$$$", letter case ignored.
bool isTemporaryName(const std::string& name);
std::string temporaryName(int number);
// Matches a name against a pattern of * and ? wildcards, letter case ignored.
bool matchesWildcard(const char* pattern, const char* name);
