#pragma once

#include <string>
#include <string_view>

// The tool's temporary files: "tarvo" + anything + ".$$$", letter case ignored
// only where the platform's names ignore it (PlatformConventions.h).
bool isTemporaryName(const std::string& name);
std::string temporaryName(int number);
// The names "tarvo0.$$$" to "tarvo999.$$$" in the directory, in order, until
// `stops` returns true for one; returns whether it did. `name` is left
// holding the last name tried.
template <typename Stops>
bool findTemporaryName(const std::string& directory, std::string& name, Stops stops) {
    for (int number = 0; number < 1000; ++number) {
        name = directory + temporaryName(number);
        if (stops(name)) {
            return true;
        }
    }
    return false;
}
// Whether a name holds a * or ? wildcard. Asked of every name a run looks
// at: one pass, no call per character.
inline bool hasWildcard(std::string_view name) {
    for (const char c : name) {
        if (c == '*' || c == '?') {
            return true;
        }
    }
    return false;
}

// Matches a name against a pattern of * and ? wildcards, letter case ignored
// unless it is to match exactly.
bool matchesWildcard(const char* pattern, const char* name, bool exactCase = false);
