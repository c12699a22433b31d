#include "preprocess/Occurrences.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;

// The high bit of every zero byte of x, and no other bit.
std::uint64_t zeroBytes(std::uint64_t x) {
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// The index of the lowest byte marked in a non-zero mask of high bits.
std::size_t lowestMarkedByte(std::uint64_t mask) {
#if defined(__GNUC__) || defined(__clang__)
    return static_cast<std::size_t>(__builtin_ctzll(mask)) / 8;
#else
    // Multiplying by 1 << 8k moves byte 7 - k of the constant, which holds
    // k + 1, to the top.
    const std::uint64_t lowest = (mask & (~mask + 1)) >> 7;
    return static_cast<std::size_t>((lowest * 0x0102030405060708ULL) >> 56) - 1;
#endif
}

bool littleEndian() {
    const std::uint32_t one = 1;
    unsigned char low = 0;
    std::memcpy(&low, &one, 1);
    return low == 1;
}

// Whether the needle's bytes after its first follow at `at`.
bool restMatches(const char* at, const char* needle, std::size_t length) {
    for (std::size_t i = 1; i < length; ++i) {
        if (at[i] != needle[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

void findOccurrences(const char* text, std::size_t size, std::string_view needle,
                     std::vector<std::size_t>& found) {
    // Locals, so that storing an offset cannot make the compiler read the
    // needle again.
    const char* const wanted = needle.data();
    const std::size_t length = needle.size();
    if (length == 0 || length > size) {
        return;
    }
    const std::size_t last = size - length; // the last offset where a match fits
    std::size_t at = 0;
    // Eight bytes at a time: every byte equal to the needle's first is marked
    // at once, so dense matches cost no call each.
    if (littleEndian()) {
        const std::uint64_t pattern = kOnes * static_cast<unsigned char>(wanted[0]);
        for (std::size_t block = 0; block + 8 <= size && block <= last; block += 8) {
            std::uint64_t word;
            std::memcpy(&word, text + block, 8);
            for (std::uint64_t mask = zeroBytes(word ^ pattern); mask != 0; mask &= mask - 1) {
                const std::size_t candidate = block + lowestMarkedByte(mask);
                if (candidate < at) {
                    continue; // inside the previous occurrence
                }
                if (candidate > last) {
                    return;
                }
                if (restMatches(text + candidate, wanted, length)) {
                    found.push_back(candidate);
                    at = candidate + length;
                }
            }
            at = at > block + 8 ? at : block + 8;
        }
    }
    for (; at <= last; ++at) {
        if (text[at] == wanted[0] && restMatches(text + at, wanted, length)) {
            found.push_back(at);
            at += length - 1;
        }
    }
}
