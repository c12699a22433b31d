#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

FileTime unitsOfUnixSeconds(std::int64_t seconds) {
    return static_cast<FileTime>(seconds + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond;
}

TEST(FileTime, HalvesJoinAsTheyAre) {
    const FileTime samples[] = {0ULL, (1ULL << 26) - 1, 0x01D5C0A7FFFFFFFFULL,
                                0x01D5C0A800000000ULL, 0xFFFFFFFFFFFFFFFFULL};
    for (const FileTime time : samples) {
        EXPECT_EQ(fileTimeFromHalves(static_cast<std::uint32_t>(time >> 32),
                                     static_cast<std::uint32_t>(time)),
                  time)
            << time;
    }
}

TEST(FileTime, FromUnixAtFullResolution) {
    const std::int64_t seconds = 1704067200; // 2024-01-01 00:00 UTC
    EXPECT_EQ(fileTimeFromUnix(seconds, 0), unitsOfUnixSeconds(seconds));
    EXPECT_EQ(fileTimeFromUnix(seconds, 999999999),
              unitsOfUnixSeconds(seconds) + kFileTimeUnitsPerSecond - 1);
    // Any step of the platform's resolution counts, the old 6.7-second unit is gone.
    const std::int64_t step = 1000000000 / kFileTimeUnitsPerSecond;
    EXPECT_GT(fileTimeFromUnix(seconds, step), fileTimeFromUnix(seconds, 0));
    EXPECT_GT(fileTimeFromUnix(seconds + 5, 0), fileTimeFromUnix(seconds, 0));
    // 2057-09-07 once compared as older than anything.
    EXPECT_GT(fileTimeFromUnix(2767046400LL, 0), fileTimeFromUnix(2766873600LL, 0));
    EXPECT_GT(fileTimeFromUnix(2766873600LL, 0), fileTimeFromUnix(seconds, 0));
}

TEST(FileTime, FromUnixOutsideTheCountClamps) {
    EXPECT_EQ(fileTimeFromUnix(-kSecondsFrom1601To1970, 0), 0u);
    EXPECT_EQ(fileTimeFromUnix(-kSecondsFrom1601To1970 - 1, 999999999), 0u);
    EXPECT_EQ(fileTimeFromUnix(std::numeric_limits<std::int64_t>::max(), 0),
              std::numeric_limits<FileTime>::max());
}

TEST(FileTime, TextIsUtcWithNineDigitsOfFraction) {
    struct Case {
        std::int64_t seconds;
        std::int64_t nanoseconds;
        const char* text;
    };
    const Case cases[] = {
        {-kSecondsFrom1601To1970, 0, "1601-01-01 00:00:00.000000000"},
        {-2203891200LL, 0, "1900-03-01 00:00:00.000000000"},
        {0, 100, "1970-01-01 00:00:00.000000100"},
        {1704067200, 123456700, "2024-01-01 00:00:00.123456700"},
        {1709251199, 0, "2024-02-29 23:59:59.000000000"},
        {2767046400LL, 0, "2057-09-07 00:00:00.000000000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fileTimeText(fileTimeFromUnix(c.seconds, c.nanoseconds)), c.text) << c.text;
    }
    if (kFileTimeUnitsPerSecond == 1000000000) {
        EXPECT_EQ(fileTimeText(std::numeric_limits<FileTime>::max()),
                  "2185-07-21 23:34:33.709551615");
    }
}

} // namespace
