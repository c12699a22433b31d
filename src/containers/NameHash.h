#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A quick hash for the short names of a build (file names, rule names): FNV-1a,
// cheaper than the library's general one on strings of a few bytes.
struct NameHash {
    std::size_t operator()(const std::string& text) const noexcept {
        std::uint64_t hash = 1469598103934665603ULL;
        for (const char c : text) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ULL;
        }
        return static_cast<std::size_t>(hash ^ (hash >> 32));
    }
};
