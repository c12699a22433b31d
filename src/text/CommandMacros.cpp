#include "text/CommandMacros.h"

#include <string_view>

namespace {

constexpr std::size_t kSequenceLength = 2;

// A text that holds the sequence would be found again without end; one that
// ends with its first character and begins with its second forms it with a
// copy of itself, and the copies can outgrow the line ("$@@@" with "@$$"
// doubles the "$" for each "@").
bool feedsItself(const char* sequence, const std::string& replacement) {
    return replacement.find(sequence, 0, kSequenceLength) != std::string::npos ||
           (!replacement.empty() && replacement.back() == sequence[0] &&
            replacement.front() == sequence[1]);
}

// Every occurrence of the line as it stands replaced once; inserted text is
// not searched again.
void replaceOnce(std::string& line, std::size_t found, const char* sequence,
                 const std::string& replacement) {
    std::string result;
    result.reserve(line.size() + replacement.size());
    std::size_t from = 0;
    while (found != std::string::npos) {
        result.append(line, from, found - from);
        result += replacement;
        from = found + kSequenceLength;
        found = line.find(sequence, from, kSequenceLength);
    }
    result.append(line, from, std::string::npos);
    line.swap(result);
}

// The result never holds an occurrence, so the leftmost one still to come
// either begins with the result's last character (it straddles) or lies
// wholly in the rest of the line; nothing behind that is searched again.
void replaceAndRescan(std::string& line, std::size_t found, const char* sequence,
                      const std::string& replacement) {
    const char first = sequence[0];
    const char second = sequence[1];
    const std::string_view rest = std::string_view(replacement).substr(replacement.empty() ? 0 : 1);
    std::string result;
    result.reserve(line.size() + replacement.size());
    std::size_t from = 0;
    bool straddles = false;
    for (;;) {
        if (straddles) {
            result.pop_back();
            ++from;
        } else {
            result.append(line, from, found - from);
            from = found + kSequenceLength;
        }
        // Each first character just before a text that begins with the second
        // forms the sequence anew: "$$@" with "@a" gives "$@a", then "@aa".
        std::size_t again = 0;
        if (!replacement.empty() && replacement.front() == second) {
            while (!result.empty() && result.back() == first) {
                result.pop_back();
                ++again;
            }
        }
        result += replacement;
        for (; again > 0; --again) {
            result += rest;
        }
        // The text's end (or, for an empty text, what came before it) may form
        // the sequence with what follows: "$@@" with "a$" gives "a$@", then "aa$".
        straddles =
            !result.empty() && result.back() == first && from < line.size() && line[from] == second;
        if (!straddles) {
            found = line.find(sequence, from, kSequenceLength);
            if (found == std::string::npos) {
                break;
            }
        }
    }
    result.append(line, from, std::string::npos);
    line.swap(result);
}

} // namespace

std::string withoutExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string withoutDirectory(const std::string& name) {
    std::size_t separator = name.rfind('\\');
    if (separator == std::string::npos) {
        separator = name.rfind(':');
    }
    return separator == std::string::npos ? name : name.substr(separator + 1);
}

void replaceSpecial(std::string& line, const char* sequence, const std::string& replacement) {
    const std::size_t found = line.find(sequence, 0, kSequenceLength);
    if (found == std::string::npos) {
        return;
    }
    if (feedsItself(sequence, replacement)) {
        replaceOnce(line, found, sequence, replacement);
    } else {
        replaceAndRescan(line, found, sequence, replacement);
    }
}
