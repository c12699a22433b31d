#include "exec/FileTimeUnits.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000ULL;

std::uint64_t ticksOfUnixSeconds(std::int64_t seconds) {
    return static_cast<std::uint64_t>(seconds + kSecondsFrom1601To1970) * kTicksPerSecond;
}

TEST(FileTimeUnits, HalvesAndTicksAgree) {
    const std::uint64_t samples[] = {0ULL,
                                     (1ULL << 26) - 1,
                                     1ULL << 26,
                                     0x01D5C0A7FFFFFFFFULL,
                                     0x01D5C0A800000000ULL,
                                     ticksOfUnixSeconds(1700000000),
                                     0xFFFFFFFFFFFFFFFFULL};
    for (const std::uint64_t ticks : samples) {
        const auto high = static_cast<std::uint32_t>(ticks >> 32);
        const auto low = static_cast<std::uint32_t>(ticks);
        EXPECT_EQ(fileTimeFromHalves(high, low), fileTimeFromTicks(ticks)) << ticks;
        EXPECT_EQ(fileTimeFromTicks(ticks), static_cast<std::uint32_t>(ticks >> 26)) << ticks;
    }
}

TEST(FileTimeUnits, NanosecondsCountInHundredsOfNanoseconds) {
    const std::int64_t seconds = 1700000000;
    EXPECT_EQ(fileTimeFromUnix(seconds, 0), fileTimeFromTicks(ticksOfUnixSeconds(seconds)));
    EXPECT_EQ(fileTimeFromUnix(seconds, 999999999),
              fileTimeFromTicks(ticksOfUnixSeconds(seconds) + 9999999));
}

TEST(FileTimeUnits, OneUnitIsAbout6Point7Seconds) {
    // Seven seconds apart always differ; within one unit's step they agree.
    const std::uint64_t unitStart = 0x01D5C0A800000000ULL & ~((1ULL << 26) - 1);
    EXPECT_EQ(fileTimeFromTicks(unitStart), fileTimeFromTicks(unitStart + 6 * kTicksPerSecond));
    for (std::uint64_t offset = 0; offset < (1ULL << 26); offset += 1000000) {
        EXPECT_NE(fileTimeFromTicks(unitStart + offset),
                  fileTimeFromTicks(unitStart + offset + 7 * kTicksPerSecond));
    }
}

TEST(FileTimeUnits, TimesFrom2057OnHaveTheTopBitSet) {
    // 2057-09-05 and 2057-09-07, 00:00 UTC.
    EXPECT_EQ(fileTimeFromUnix(2766873600LL, 0) & 0x80000000u, 0u);
    EXPECT_NE(fileTimeFromUnix(2767046400LL, 0) & 0x80000000u, 0u);
}

} // namespace
