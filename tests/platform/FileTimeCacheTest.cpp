#include "platform/FileTimeCache.h"
#include "containers/ContentHash.h"
#include "platform/FoundPrograms.h"
#include "support/FakePlatform.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Names = std::vector<std::string>;

TEST(FileTimeCache, AsksOnceUntilSomethingMayHaveChangedFiles) {
    const std::function<void(FileTimeCache&)> changes[] = {
        [](FileTimeCache& cache) {
            FoundPrograms programs;
            cache.runProcess("touch a", programs);
        },
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

// Where the record wants stamps, a stamp and the time with it cost one query
// per generation; a time known alone is not taken for a stamp.
TEST(FileTimeCache, StampsAreAskedOncePerGenerationAndGiveTheTime) {
    struct Counting : FakePlatform {
        FileStamp fileStamp(const std::string& path) override {
            stampQueries.push_back(path);
            return FakePlatform::fileStamp(path);
        }
        Names stampQueries;
    } fake;
    fake.times["a"] = 7;
    fake.contents["a"] = "one";
    FileTimeCache cache(fake);
    const FileStamp stamp = cache.fileStamp("a");
    EXPECT_EQ(stamp, fake.FakePlatform::fileStamp("a"));
    EXPECT_EQ(cache.fileStamp("a"), stamp);
    EXPECT_EQ(cache.fileTime("a"), 7u);
    EXPECT_FALSE(cache.fileStamp("gone").exists());
    EXPECT_FALSE(cache.fileStamp("gone").exists());
    EXPECT_EQ(cache.fileTime("b"), 0u);
    EXPECT_EQ(fake.stampQueries, (Names{"a", "gone"}));
    EXPECT_EQ(fake.timeQueries, Names{"b"});

    fake.times["c"] = 3;
    EXPECT_EQ(cache.fileTime("c"), 3u);
    EXPECT_EQ(cache.fileStamp("c"), fake.FakePlatform::fileStamp("c"));
    FoundPrograms programs;
    cache.runProcess("x", programs);
    fake.contents["a"] = "four";
    EXPECT_NE(cache.fileStamp("a"), stamp);
    EXPECT_EQ(fake.stampQueries, (Names{"a", "gone", "c", "a"}));
    EXPECT_EQ(cache.fileDigest("a")->digest, ContentHash::of("four"));
}

TEST(FileTimeCache, PassesEverythingThrough) {
    const TempDirectory directory;
    FakePlatform fake;
    fake.temporaryDirectory = directory.prefix();
    fake.exitCodes["x"] = 3;
    FileTimeCache cache(fake);
    FoundPrograms programs;
    EXPECT_EQ(cache.runProcess("x", programs), 3u);
    EXPECT_EQ(fake.started, Names{"x"});
    EXPECT_EQ(cache.createTemporaryFile(TemporaryFile::Content::Text).name(),
              directory.prefix() + "tarvo0.$$$");
    cache.sweepTemporaries();
    EXPECT_EQ(fake.sweeps, 1);
}

} // namespace
