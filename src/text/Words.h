#pragma once

#include "text/Blanks.h"

#include <string>
#include <string_view>
#include <vector>

// Calls `use` with each word of the text, words being separated by runs of blanks.
template <typename Use> void forEachWord(std::string_view text, Use use) {
    std::size_t i = 0;
    const std::size_t end = text.size();
    while (i < end) {
        while (i < end && isBlank(text[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < end && !isBlank(text[i])) {
            ++i;
        }
        if (i > start) {
            use(text.substr(start, i - start));
        }
    }
}

std::vector<std::string> splitWords(std::string_view text);
