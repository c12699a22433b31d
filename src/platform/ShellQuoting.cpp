#include "platform/ShellQuoting.h"

#include "text/Blanks.h"

#include <cstring>

namespace {

// True when the "$" at i belongs to a ".$$$" ending of a temporary name.
bool isTemporaryDollar(const std::string& line, std::size_t i) {
    std::size_t start = i;
    while (start > 0 && line[start - 1] == '$' && i - start < 2) {
        --start;
    }
    return start > 0 && line[start - 1] == '.' && line.compare(start, 3, "$$$") == 0;
}

} // namespace

bool needsShell(const std::string& line) {
    static const char kShellCharacters[] = "#;\"'*?[]&|<>(){}$^~!`\n\r";
    bool firstWord = true;
    bool seenWordCharacter = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\0') {
            continue;
        }
        if (isBlank(c)) {
            if (seenWordCharacter) {
                firstWord = false;
            }
            continue;
        }
        seenWordCharacter = true;
        if (c == '=' && firstWord) {
            return true;
        }
        if (std::strchr(kShellCharacters, c) != nullptr) {
            if (c == '$' && isTemporaryDollar(line, i)) {
                continue;
            }
            return true;
        }
    }
    return false;
}

std::string shellWord(const std::string& text) {
    if (!text.empty() && text.find_first_of(" \t") == std::string::npos && !needsShell(text)) {
        return text;
    }
    std::string word = "'";
    for (const char c : text) {
        if (c == '\'') {
            word += "'\\''";
        } else {
            word += c;
        }
    }
    return word + "'";
}

std::string shellLine(const std::string& line) {
    std::string result;
    result.reserve(line.size() + 8);
    bool inSingleQuotes = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\'') {
            inSingleQuotes = !inSingleQuotes;
        } else if (c == '$' && !inSingleQuotes && isTemporaryDollar(line, i)) {
            result += '\\';
        }
        result += c;
    }
    return result;
}
