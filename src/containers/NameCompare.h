#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Names (macros, rules, extensions, directives, operators) compare without regard
// to letter case: only A-Z fold, bytes compare unsigned, a prefix sorts first.
inline unsigned char foldName(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

inline int compareNames(const char* a, std::size_t aLength, const char* b, std::size_t bLength) {
    const std::size_t n = aLength < bLength ? aLength : bLength;
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] == b[i]) {
            continue;
        }
        const unsigned char x = foldName(static_cast<unsigned char>(a[i]));
        const unsigned char y = foldName(static_cast<unsigned char>(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (aLength == bLength) {
        return 0;
    }
    return aLength < bLength ? -1 : 1;
}

inline int compareNames(const std::string& a, const std::string& b) {
    return compareNames(a.data(), a.size(), b.data(), b.size());
}

inline bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compareNames(a.data(), a.size(), b.data(), b.size()) == 0;
}
