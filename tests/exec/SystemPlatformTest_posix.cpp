#include "exec/FileTime.h"
#include "exec/SystemPlatform.h"
#include "exec/TemporarySweeper_posix.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

// Runs each test in a fresh directory, since temporary names live in the current one.
class SystemPlatformTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarvo-unit-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        ASSERT_EQ(getcwd(previous_, sizeof previous_), previous_);
        ASSERT_EQ(chdir(directory_.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(previous_), 0);
        const std::string command = "rm -rf '" + directory_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void touch(const std::string& name, time_t seconds = 1704067200, long nanoseconds = 0) {
        std::FILE* file = std::fopen(name.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
        struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
        ASSERT_EQ(utimensat(AT_FDCWD, name.c_str(), times, 0), 0);
    }

    SystemPlatform platform;
    std::string directory_;
    char previous_[4096];
};

TEST_F(SystemPlatformTest, FileTimes) {
    EXPECT_EQ(platform.fileTime("missing"), 0u);
    touch("b.c", 1704067200);
    touch("a.c", 1704067300);
    EXPECT_EQ(platform.fileTime("b.c"), fileTimeFromUnix(1704067200, 0));
    // Wildcards ignore letter case and take the first name in byte order.
    EXPECT_EQ(platform.fileTime("*.C"), fileTimeFromUnix(1704067300, 0));
    EXPECT_EQ(platform.fileTime("?.x"), 0u);
    // Full resolution: one nanosecond later is newer.
    touch("z.c", 1704067200, 1);
    EXPECT_EQ(platform.fileTime("z.c"), fileTimeFromUnix(1704067200, 1));
    EXPECT_GT(platform.fileTime("z.c"), platform.fileTime("b.c"));
    EXPECT_EQ(platform.findFirstMatch("*.c"), std::optional<std::string>("a.c"));
    ASSERT_EQ(mkdir("sub", 0755), 0);
    touch("sub/deep.txt");
    EXPECT_EQ(platform.findFirstMatch("sub/D*"), std::optional<std::string>("deep.txt"));
    EXPECT_EQ(platform.findFirstMatch("sub/deep.txt"), std::optional<std::string>("deep.txt"));
    EXPECT_EQ(platform.findFirstMatch("sub/none"), std::nullopt);
}

TEST_F(SystemPlatformTest, TemporaryNamesTakeTheFirstFreeNumber) {
    EXPECT_EQ(platform.makeTempName(), "tarvo0.$$$");
    touch("tarvo1.$$$");
    EXPECT_EQ(platform.makeTempName(), "tarvo0.$$$");
    touch("tarvo0.$$$");
    EXPECT_EQ(platform.makeTempName(), "tarvo2.$$$");
}

TEST_F(SystemPlatformTest, SweepRemovesMatchesAndSkipsWhatItCannot) {
    touch("tarvo0.$$$");
    touch("TARVOx.$$$");
    touch("tarvo.$$$");
    touch("keep.$$$");
    touch("tarvo1.txt");
    ASSERT_EQ(mkdir("tarvo5.$$$", 0755), 0);
    platform.sweepTemporaries();
    struct stat info;
    EXPECT_NE(lstat("tarvo0.$$$", &info), 0);
    EXPECT_NE(lstat("TARVOx.$$$", &info), 0);
    EXPECT_NE(lstat("tarvo.$$$", &info), 0);
    EXPECT_EQ(lstat("keep.$$$", &info), 0);
    EXPECT_EQ(lstat("tarvo1.txt", &info), 0);
    EXPECT_EQ(lstat("tarvo5.$$$", &info), 0);
    EXPECT_EQ(platform.makeTempName(), "tarvo0.$$$");
}

TEST_F(SystemPlatformTest, ExitCodesDirectShellAndSignals) {
    EXPECT_EQ(platform.runProcess("true"), 0u);
    EXPECT_EQ(platform.runProcess("false "), 1u);
    EXPECT_EQ(platform.runProcess("exit 4"), 4u); // no such program: the shell runs it
    EXPECT_EQ(platform.runProcess("sh -c 'exit 7'"), 7u);
    EXPECT_EQ(platform.runProcess("sh -c 'kill -TERM $$'"), 128u + 15u);
    EXPECT_EQ(platform.runProcess("no-such-program-anywhere"), 127u);
    EXPECT_EQ(platform.runProcess(""), 0u);
}

TEST_F(SystemPlatformTest, TemporaryNamesReachTheCommandIntact) {
    touch("tarvo3.$$$");
    EXPECT_EQ(platform.runProcess("test -f tarvo3.$$$"), 0u);
    EXPECT_EQ(platform.runProcess("test -f tarvo3.$$$ && true"), 0u);
    EXPECT_EQ(platform.runProcess("cp tarvo3.$$$ copy.txt"), 0u);
    struct stat info;
    EXPECT_EQ(lstat("copy.txt", &info), 0);
}

} // namespace

namespace {

class SweeperTest : public SystemPlatformTest {};

bool exists(const std::string& name) {
    struct stat info;
    return lstat(name.c_str(), &info) == 0;
}

// The same sweeps must remove the same names whether the sweeper watches the
// directory from its first sweep or never does.
class SweeperModeTest : public SystemPlatformTest,
                        public ::testing::WithParamInterface<std::size_t> {};

TEST_P(SweeperModeTest, LaterSweepsFindNewNamesAndRetryStubbornOnes) {
    TemporarySweeper sweeper(GetParam());
    touch("tarvo.$$$");
    sweeper.sweep();
    EXPECT_FALSE(exists("tarvo.$$$"));
    touch("tarvo1.$$$");
    touch("Tarvo-made-by-a-command.$$$");
    touch("other.txt");
    touch("tarvo2.$$$.bak");
    ASSERT_EQ(mkdir("tarvo5.$$$", 0755), 0);
    ASSERT_EQ(rename("other.txt", "tarvo9.$$$"), 0);
    sweeper.sweep();
    EXPECT_FALSE(exists("tarvo1.$$$"));
    EXPECT_FALSE(exists("Tarvo-made-by-a-command.$$$"));
    EXPECT_FALSE(exists("tarvo9.$$$"));
    EXPECT_TRUE(exists("tarvo2.$$$.bak"));
    EXPECT_TRUE(exists("tarvo5.$$$"));
    // Once the stubborn entry can go, the next sweep takes it.
    ASSERT_EQ(rmdir("tarvo5.$$$"), 0);
    touch("tarvo5.$$$");
    sweeper.sweep();
    EXPECT_FALSE(exists("tarvo5.$$$"));
}

TEST_P(SweeperModeTest, FollowsTheCurrentDirectory) {
    TemporarySweeper sweeper(GetParam());
    sweeper.sweep();
    ASSERT_EQ(mkdir("sub", 0755), 0);
    touch("sub/tarvo1.$$$");
    ASSERT_EQ(chdir("sub"), 0);
    sweeper.sweep();
    EXPECT_FALSE(exists("tarvo1.$$$"));
    ASSERT_EQ(chdir(".."), 0);
    touch("tarvo2.$$$");
    sweeper.sweep();
    EXPECT_FALSE(exists("tarvo2.$$$"));
}

INSTANTIATE_TEST_SUITE_P(WatchingAndScanning, SweeperModeTest,
                         ::testing::Values(std::size_t{0},
                                           std::numeric_limits<std::size_t>::max()));

// Crosses from scanning to watching part way through.
TEST_F(SweeperTest, ManySweepsInALargeDirectory) {
    for (int i = 0; i < 3000; ++i) {
        touch("file" + std::to_string(i) + ".o");
    }
    TemporarySweeper sweeper;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "tarvo" + std::to_string(i) + ".$$$";
        if (i % 2 == 0) {
            touch(name);
        } else {
            touch("renamed.tmp");
            ASSERT_EQ(rename("renamed.tmp", name.c_str()), 0);
        }
        sweeper.sweep();
        ASSERT_FALSE(exists(name)) << i;
    }
    EXPECT_TRUE(exists("file2999.o"));
}

} // namespace
