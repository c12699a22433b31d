#pragma once

#include <cstdint>
#include <limits>
#include <string>

// A file's last-write time at the file system's full resolution: a count since
// 1601-01-01 00:00 UTC, of 100-ns units on Windows (FILETIME as it is) and of
// nanoseconds elsewhere. 0 means that there is no file. Later is greater.
using FileTime = std::uint64_t;

// The oldest time a file can have: one unit after 0, which means no file.
constexpr FileTime kOldestFileTime = 1;

#ifdef _WIN32
constexpr FileTime kFileTimeUnitsPerSecond = 10000000;
#else
constexpr FileTime kFileTimeUnitsPerSecond = 1000000000;
#endif

// Seconds from 1601-01-01 to 1970-01-01, both UTC.
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;

// The count from the two 32-bit halves that the Windows API hands over.
inline FileTime fileTimeFromHalves(std::uint32_t high, std::uint32_t low) {
    return (static_cast<FileTime>(high) << 32) | low;
}

// The count from a POSIX time. Times before 1601 become 0, and times too late
// for the count (from the year 2185 on, in nanoseconds) its largest value, so
// that the order of times is kept as far as the count can hold it.
inline FileTime fileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
    constexpr FileTime kNanosecondsPerUnit = 1000000000 / kFileTimeUnitsPerSecond;
    constexpr FileTime kLargest = std::numeric_limits<FileTime>::max();
    if (seconds < -kSecondsFrom1601To1970) {
        return 0;
    }
    // Unsigned, since the sum can exceed the signed range.
    const FileTime whole =
        static_cast<FileTime>(seconds) + static_cast<FileTime>(kSecondsFrom1601To1970);
    const auto part = static_cast<FileTime>(nanoseconds) / kNanosecondsPerUnit;
    if (whole > (kLargest - part) / kFileTimeUnitsPerSecond) {
        return kLargest;
    }
    return whole * kFileTimeUnitsPerSecond + part;
}

// The time as UTC text "YYYY-MM-DD hh:mm:ss.nnnnnnnnn": always nine digits of
// the second's fraction, whatever the platform's resolution. 0 (no file) gives
// "1601-01-01 00:00:00.000000000" like any other count.
std::string fileTimeText(FileTime time);
