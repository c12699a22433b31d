#include "platform/TempNames.h"

#include "containers/NameCompare.h"
#include "platform/PlatformConventions.h"

namespace {

bool sameCharacter(char a, char b, bool exactCase) {
    return a == b || (!exactCase && foldName(static_cast<unsigned char>(a)) ==
                                        foldName(static_cast<unsigned char>(b)));
}

} // namespace

bool matchesWildcard(const char* pattern, const char* name, bool exactCase) {
    // Iterative matcher with one backtrack point: linear in practice, never exponential.
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name != '\0') {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern != '\0' &&
                   (*pattern == '?' || sameCharacter(*pattern, *name, exactCase))) {
            ++pattern;
            ++name;
        } else if (starPattern != nullptr) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') {
        ++pattern;
    }
    return *pattern == '\0';
}

bool isTemporaryName(const std::string& name) {
    return matchesWildcard("tarvo*.$$$", name.c_str(), temporaryNamesMatchCase());
}

std::string temporaryName(int number) {
    return "tarvo" + std::to_string(number) + ".$$$";
}
