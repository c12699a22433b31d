#pragma once

#include <cstdint>

// Seconds from 1601-01-01 to 1970-01-01, both UTC.
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;

// Converts a count of 100-ns intervals since 1601 into the tool's 32-bit unit.
inline std::uint32_t fileTimeFromTicks(std::uint64_t ticks) {
    return static_cast<std::uint32_t>(ticks >> 26);
}

// The same from the two 32-bit halves of the count, as the Windows API hands them over.
inline std::uint32_t fileTimeFromHalves(std::uint32_t high, std::uint32_t low) {
    return (high << 6) | (low >> 26);
}

inline std::uint32_t fileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
    const std::int64_t ticks = (seconds + kSecondsFrom1601To1970) * 10000000LL + nanoseconds / 100;
    return fileTimeFromTicks(static_cast<std::uint64_t>(ticks));
}
