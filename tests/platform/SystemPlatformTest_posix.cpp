#include "containers/ContentHash.h"
#include "platform/File.h"
#include "platform/FileLock.h"
#include "platform/FileTime.h"
#include "platform/FoundPrograms.h"
#include "platform/Interrupts.h"
#include "platform/SystemPlatform.h"
#include "platform/TemporarySweeper_posix.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace {

bool exists(const std::string& name) {
    struct stat info;
    return lstat(name.c_str(), &info) == 0;
}

std::vector<std::string> entries() {
    std::vector<std::string> names;
    if (DIR* directory = opendir(".")) {
        while (const dirent* entry = readdir(directory)) {
            if (entry->d_name[0] != '.') {
                names.emplace_back(entry->d_name);
            }
        }
        closedir(directory);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Holds a file as a live run does: locked through an open file of its own.
class OtherRunsHold {
  public:
    explicit OtherRunsHold(const std::string& name) : fd_(open(name.c_str(), O_RDONLY)) {
        EXPECT_EQ(flock(fd_, LOCK_EX | LOCK_NB), 0);
    }
    ~OtherRunsHold() { close(fd_); }
    OtherRunsHold(const OtherRunsHold&) = delete;
    OtherRunsHold& operator=(const OtherRunsHold&) = delete;

  private:
    int fd_;
};

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
    FoundPrograms programs;
    std::string directory_;
    char previous_[4096];
};

// The record of times is written under a lock that other runs respect.
TEST_F(SystemPlatformTest, FileLockExcludesOtherRuns) {
    touch(".tarvo_log");
    std::FILE* file = std::fopen(".tarvo_log", "ab");
    ASSERT_NE(file, nullptr);
    {
        const OtherRunsHold other(".tarvo_log");
        EXPECT_FALSE(FileLock(file, FileLock::Mode::Exclusive, false).held());
        EXPECT_FALSE(FileLock(file, FileLock::Mode::Shared, false).held());
    }
    {
        const FileLock lock(file, FileLock::Mode::Exclusive, false);
        EXPECT_TRUE(lock.held());
        const int other = open(".tarvo_log", O_RDONLY);
        EXPECT_NE(flock(other, LOCK_SH | LOCK_NB), 0);
        close(other);
    }
    std::fclose(file);
}

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
    // A wildcard in the last part of a path below the current directory.
    ASSERT_EQ(mkdir("sub", 0755), 0);
    touch("sub/deep.txt", 1704067400);
    EXPECT_EQ(platform.fileTime("sub/D*"), fileTimeFromUnix(1704067400, 0));
    EXPECT_EQ(platform.fileTime("sub/none*"), 0u);
}

// A stamp tells versions apart without reading; a digest reads regular files
// only, through every chunk.
TEST_F(SystemPlatformTest, FileStampsAndDigests) {
    EXPECT_FALSE(platform.fileStamp("missing").exists());
    EXPECT_FALSE(platform.fileDigest("missing"));
    ASSERT_EQ(mkdir("sub", 0755), 0);
    EXPECT_TRUE(platform.fileStamp("sub").exists());
    EXPECT_FALSE(platform.fileDigest("sub"));
    ASSERT_EQ(mkfifo("pipe", 0644), 0);
    EXPECT_FALSE(platform.fileDigest("pipe")); // neither waited for nor read

    const auto write = [](const std::string& name, const std::string& content) {
        std::FILE* file = std::fopen(name.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
        struct timespec times[2] = {{1704067200, 5}, {1704067200, 5}};
        ASSERT_EQ(utimensat(AT_FDCWD, name.c_str(), times, 0), 0);
    };
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 31 + i / 7);
    }
    write("big", big);
    const std::optional<FileDigest> digest = platform.fileDigest("big");
    ASSERT_TRUE(digest);
    EXPECT_EQ(digest->digest, ContentHash::of(big));
    EXPECT_EQ(digest->stamp, platform.fileStamp("big"));
    EXPECT_EQ(digest->stamp.time, fileTimeFromUnix(1704067200, 5));
    EXPECT_GT(digest->readAt, digest->stamp.time);

    // Each change shows, although the time is set back to the same.
    const FileStamp first = platform.fileStamp("big");
    write("other", big);
    ASSERT_EQ(replaceFile("other", "big"), "");
    const FileStamp replaced = platform.fileStamp("big");
    EXPECT_EQ(replaced.time, first.time);
    EXPECT_NE(replaced.version, first.version);
    ASSERT_EQ(truncate("big", 100), 0);
    struct timespec times[2] = {{1704067200, 5}, {1704067200, 5}};
    ASSERT_EQ(utimensat(AT_FDCWD, "big", times, 0), 0);
    EXPECT_NE(platform.fileStamp("big").version, replaced.version);
    EXPECT_EQ(platform.fileStamp("big"), platform.fileStamp("big"));
}

TEST_F(SystemPlatformTest, TemporaryFilesTakeTheFirstFreeNumberAndGoWhenReleased) {
    touch("tarvo1.$$$");
    TemporaryFile first = platform.createTemporaryFile(TemporaryFile::Content::Text);
    TemporaryFile second = platform.createTemporaryFile(TemporaryFile::Content::Binary);
    ASSERT_TRUE(first.created() && second.created());
    EXPECT_EQ(first.name(), "tarvo0.$$$");
    EXPECT_EQ(second.name(), "tarvo2.$$$");
    EXPECT_EQ(entries(), (std::vector<std::string>{"tarvo0.$$$", "tarvo1.$$$", "tarvo2.$$$"}));
    std::fputs("read back\n", second.stream());
    std::rewind(second.stream());
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, second.stream()), 10u);
    EXPECT_STREQ(text, "read back\n");
    second.keep();
    first.release();
    second.release();
    EXPECT_EQ(entries(), (std::vector<std::string>{"tarvo1.$$$", "tarvo2.$$$"}));
    EXPECT_EQ(platform.createTemporaryFile(TemporaryFile::Content::Text).name(), "tarvo0.$$$");
}

TEST_F(SystemPlatformTest, SweepLeavesTheFilesThatLiveRunsHold) {
    const TemporaryFile mine = platform.createTemporaryFile(TemporaryFile::Content::Text);
    touch("tarvo7.$$$");
    touch("tarvo5.$$$"); // a run's that has ended
    {
        const OtherRunsHold other("tarvo7.$$$");
        platform.sweepTemporaries();
        EXPECT_EQ(entries(), (std::vector<std::string>{"tarvo0.$$$", "tarvo7.$$$"}));
    }
    platform.sweepTemporaries();
    EXPECT_EQ(entries(), std::vector<std::string>{"tarvo0.$$$"});
}

TEST_F(SystemPlatformTest, RunEndedBySignalRemovesTheFilesItHolds) {
    EXPECT_EXIT(
        {
            installInterruptHandling();
            TemporaryFile kept = platform.createTemporaryFile(TemporaryFile::Content::Text);
            kept.keep();
            const TemporaryFile held = platform.createTemporaryFile(TemporaryFile::Content::Text);
            std::fputs("being written", held.stream());
            std::raise(SIGTERM);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(entries(), std::vector<std::string>{"tarvo0.$$$"});
}

// Letter case counts: tarvo makes only lower-case names here, so the others
// are a user's.
TEST_F(SystemPlatformTest, SweepRemovesMatchesAndSkipsWhatItCannot) {
    touch("tarvo0.$$$");
    touch("TARVO0.$$$");
    touch("Tarvo-notes.$$$");
    touch("tarvo.$$$");
    touch("keep.$$$");
    touch("tarvo1.txt");
    ASSERT_EQ(mkdir("tarvo5.$$$", 0755), 0);
    platform.sweepTemporaries();
    struct stat info;
    EXPECT_NE(lstat("tarvo0.$$$", &info), 0);
    EXPECT_EQ(lstat("TARVO0.$$$", &info), 0);
    EXPECT_EQ(lstat("Tarvo-notes.$$$", &info), 0);
    EXPECT_NE(lstat("tarvo.$$$", &info), 0);
    EXPECT_EQ(lstat("keep.$$$", &info), 0);
    EXPECT_EQ(lstat("tarvo1.txt", &info), 0);
    EXPECT_EQ(lstat("tarvo5.$$$", &info), 0);
    EXPECT_EQ(platform.createTemporaryFile(TemporaryFile::Content::Text).name(), "tarvo0.$$$");
}

TEST_F(SystemPlatformTest, ExitCodesDirectShellAndSignals) {
    EXPECT_EQ(platform.runProcess("true", programs), 0u);
    EXPECT_EQ(platform.runProcess("false ", programs), 1u);
    EXPECT_EQ(platform.runProcess("exit 4", programs), 4u); // no such program: the shell runs it
    EXPECT_EQ(platform.runProcess("sh -c 'exit 7'", programs), 7u);
    EXPECT_EQ(platform.runProcess("sh -c 'kill -TERM $$'", programs), 128u + 15u);
    EXPECT_EQ(platform.runProcess("no-such-program-anywhere", programs), 127u);
    EXPECT_EQ(platform.runProcess("", programs), 0u);
}

TEST_F(SystemPlatformTest, TemporaryNamesReachTheCommandIntact) {
    touch("tarvo3.$$$");
    EXPECT_EQ(platform.runProcess("test -f tarvo3.$$$", programs), 0u);
    EXPECT_EQ(platform.runProcess("test -f tarvo3.$$$ && true", programs), 0u);
    EXPECT_EQ(platform.runProcess("cp tarvo3.$$$ copy.txt", programs), 0u);
    struct stat info;
    EXPECT_EQ(lstat("copy.txt", &info), 0);
}

} // namespace

namespace {

class SweeperTest : public SystemPlatformTest {};

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
    touch("tarvo-made-by-a-command.$$$");
    touch("TARVO3.$$$");
    touch("other.txt");
    touch("tarvo2.$$$.bak");
    ASSERT_EQ(mkdir("tarvo5.$$$", 0755), 0);
    ASSERT_EQ(rename("other.txt", "tarvo9.$$$"), 0);
    sweeper.sweep();
    EXPECT_FALSE(exists("tarvo1.$$$"));
    EXPECT_FALSE(exists("tarvo-made-by-a-command.$$$"));
    EXPECT_TRUE(exists("TARVO3.$$$"));
    EXPECT_FALSE(exists("tarvo9.$$$"));
    EXPECT_TRUE(exists("tarvo2.$$$.bak"));
    EXPECT_TRUE(exists("tarvo5.$$$"));
    // Once the stubborn entry can go, the next sweep takes it.
    ASSERT_EQ(rmdir("tarvo5.$$$"), 0);
    touch("tarvo5.$$$");
    sweeper.sweep();
    EXPECT_FALSE(exists("tarvo5.$$$"));
}

TEST_P(SweeperModeTest, HeldFilesStayUntilLetGo) {
    TemporarySweeper sweeper(GetParam());
    sweeper.sweep();
    touch("tarvo3.$$$");
    {
        const OtherRunsHold other("tarvo3.$$$");
        sweeper.sweep();
        sweeper.sweep();
        EXPECT_TRUE(exists("tarvo3.$$$"));
    }
    sweeper.sweep();
    EXPECT_FALSE(exists("tarvo3.$$$"));
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
                         ::testing::Values(std::size_t{0}, std::numeric_limits<std::size_t>::max()),
                         [](const auto& info) {
                             return std::string(info.param == 0 ? "Watching" : "Scanning");
                         });

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

// Sets PATH while it lives.
class PathSetting {
  public:
    explicit PathSetting(const std::string& value) {
        const char* previous = std::getenv("PATH");
        had_ = previous != nullptr;
        if (had_) {
            previous_ = previous;
        }
        setenv("PATH", value.c_str(), 1);
    }
    ~PathSetting() {
        if (had_) {
            setenv("PATH", previous_.c_str(), 1);
        } else {
            unsetenv("PATH");
        }
    }
    PathSetting(const PathSetting&) = delete;
    PathSetting& operator=(const PathSetting&) = delete;

  private:
    bool had_ = false;
    std::string previous_;
};

void writeScript(const std::string& path, int exitCode, mode_t mode = 0755) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fprintf(file, "#!/bin/sh\nexit %d\n", exitCode);
    std::fclose(file);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
}

struct SearchCase {
    const char* name;
    const char* path; // "D" stands for the test's directory
    const char* program;
    const char* found; // empty: nothing
};

class ProgramSearch : public SystemPlatformTest,
                      public ::testing::WithParamInterface<SearchCase> {};

// a/prog cannot be executed, b/prog is a directory, c/prog and ./prog are
// programs: the search finds what the system would start.
TEST_P(ProgramSearch, FindsWhatTheSystemWouldStart) {
    const SearchCase& c = GetParam();
    for (const char* directory : {"a", "b", "b/prog", "c"}) {
        ASSERT_EQ(mkdir(directory, 0755), 0);
    }
    writeScript("a/prog", 0, 0644);
    writeScript("c/prog", 0);
    writeScript("prog", 0);
    std::string path = c.path;
    for (std::size_t at = 0; (at = path.find('D', at)) != std::string::npos;
         at += directory_.size()) {
        path.replace(at, 1, directory_);
    }
    const PathSetting setting(path);
    const std::string* found = programs.find(c.program);
    std::string expected = c.found;
    if (!expected.empty() && expected[0] == 'D') {
        expected.replace(0, 1, directory_);
    }
    EXPECT_EQ(found != nullptr ? *found : std::string(), expected);
}

const SearchCase kSearchCases[] = {
    {"SkipsWhatCannotStart", "D/a:D/b:D/c", "prog", "D/c/prog"},
    {"FirstDirectoryWins", "D/c:D/a", "prog", "D/c/prog"},
    {"NothingFound", "D/a:D/b", "prog", ""},
    {"EmptyEntryIsTheCurrentDirectory", "D/a::D/c", "prog", "./prog"},
    {"DirectoryPartIsNeverSearched", "D/c", "c/prog", ""},
    {"MissingDirectory", "D/none:D/c", "prog", "D/c/prog"},
};

INSTANTIATE_TEST_SUITE_P(SystemPlatformTest, ProgramSearch, ::testing::ValuesIn(kSearchCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A program is searched for once; a start by the path found that fails, since
// the program has moved, leaves the search to the start again, and one made
// after a start did not find it is found by the next.
TEST_F(SystemPlatformTest, ProgramsAreSearchedForOnceAndAgainWhenTheyMove) {
    ASSERT_EQ(mkdir("a", 0755), 0);
    ASSERT_EQ(mkdir("b", 0755), 0);
    const PathSetting setting(directory_ + "/a:" + directory_ + "/b");
    writeScript("a/prog", 3);
    EXPECT_EQ(platform.runProcess("prog", programs), 3u);
    ASSERT_NE(programs.find("prog"), nullptr);
    EXPECT_EQ(*programs.find("prog"), directory_ + "/a/prog");
    ASSERT_EQ(rename("a/prog", "b/prog"), 0);
    EXPECT_EQ(*programs.find("prog"), directory_ + "/a/prog"); // not searched again
    EXPECT_EQ(platform.runProcess("prog", programs), 3u);
    EXPECT_EQ(programs.find("prog"), nullptr);

    EXPECT_EQ(platform.runProcess("late", programs), 127u);
    writeScript("b/late", 4);
    EXPECT_EQ(platform.runProcess("late", programs), 4u);
}

} // namespace
