#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// Appends to `found` the offset of every occurrence of `needle` in the text,
// left to right, each search going on after the previous occurrence. Made for
// the substitutions of long lists, where a match may come every few bytes.
void findOccurrences(const char* text, std::size_t size, std::string_view needle,
                     std::vector<std::size_t>& found);
