#include "exec/FileTimeCache.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Names = std::vector<std::string>;

TEST(FileTimeCache, AsksOnceUntilSomethingMayHaveChangedFiles) {
    const std::function<void(FileTimeCache&)> changes[] = {
        [](FileTimeCache& cache) { cache.runProcess("touch a"); },
        [](FileTimeCache& cache) { cache.removeFile("a"); },
        [](FileTimeCache& cache) { cache.makeTempName(); },
        [](FileTimeCache& cache) { cache.sweepTemporaries(); },
    };
    for (const auto& change : changes) {
        FakePlatform fake;
        fake.times["a"] = 7;
        FileTimeCache cache(fake);
        EXPECT_EQ(cache.fileTime("a"), 7u);
        EXPECT_EQ(cache.fileTime("a"), 7u);
        EXPECT_EQ(cache.fileTime("b"), 0u);
        EXPECT_EQ(cache.fileTime("b"), 0u);
        EXPECT_EQ(fake.timeQueries, (Names{"a", "b"}));
        const auto before = cache.generation();
        change(cache);
        EXPECT_NE(cache.generation(), before);
        fake.timeQueries.clear();
        fake.times["a"] = 9;
        EXPECT_EQ(cache.fileTime("a"), 9u);
        EXPECT_EQ(cache.fileTime("a"), 9u);
        EXPECT_EQ(fake.timeQueries, Names{"a"});
    }
}

TEST(FileTimeCache, PassesEverythingThrough) {
    FakePlatform fake;
    fake.exitCodes["x"] = 3;
    FileTimeCache cache(fake);
    EXPECT_EQ(cache.runProcess("x"), 3u);
    EXPECT_EQ(fake.started, Names{"x"});
    EXPECT_EQ(cache.makeTempName(), "tarvo0.$$$");
    cache.sweepTemporaries();
    EXPECT_EQ(fake.sweeps, 1);
}

} // namespace
