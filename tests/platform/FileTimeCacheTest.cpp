#include "platform/FileTimeCache.h"
#include "support/FakePlatform.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Names = std::vector<std::string>;

TEST(FileTimeCache, AsksOnceUntilSomethingMayHaveChangedFiles) {
    const std::function<void(FileTimeCache&)> changes[] = {
        [](FileTimeCache& cache) { cache.runProcess("touch a"); },
        [](FileTimeCache& cache) { cache.removeFile("a"); },
        [](FileTimeCache& cache) { cache.createTemporaryFile(TemporaryFile::Content::Text); },
        [](FileTimeCache& cache) { cache.sweepTemporaries(); },
    };
    const TempDirectory directory;
    for (const auto& change : changes) {
        FakePlatform fake;
        fake.temporaryDirectory = directory.prefix();
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
    const TempDirectory directory;
    FakePlatform fake;
    fake.temporaryDirectory = directory.prefix();
    fake.exitCodes["x"] = 3;
    FileTimeCache cache(fake);
    EXPECT_EQ(cache.runProcess("x"), 3u);
    EXPECT_EQ(fake.started, Names{"x"});
    EXPECT_EQ(cache.createTemporaryFile(TemporaryFile::Content::Text).name(),
              directory.prefix() + "tarvo0.$$$");
    cache.sweepTemporaries();
    EXPECT_EQ(fake.sweeps, 1);
}

} // namespace
