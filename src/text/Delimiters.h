#pragma once

namespace detail {

struct DelimiterTable {
    bool marks[256] = {};
    constexpr DelimiterTable() {
        for (const char* c = " \t\r\n\\$,()*&^%$#@![]{}|/-+=<>?:"; *c != '\0'; ++c) {
            marks[static_cast<unsigned char>(*c)] = true;
        }
    }
};

inline constexpr DelimiterTable kDelimiterTable;

} // namespace detail

// True for the characters that end macro names, directive words, condition
// words and the target extension of an inference rule. Inline: names are
// scanned a character at a time on every definition and condition.
inline bool isDelimiter(char c) {
    return detail::kDelimiterTable.marks[static_cast<unsigned char>(c)];
}
