#include "text/Words.h"

std::vector<std::string> splitWords(std::string_view text) {
    std::vector<std::string> words;
    forEachWord(text, [&words](std::string_view word) { words.emplace_back(word); });
    return words;
}
