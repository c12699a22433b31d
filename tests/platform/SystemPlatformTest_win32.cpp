#include "containers/ContentHash.h"
#include "platform/File.h"
#include "platform/FoundPrograms.h"
#include "platform/ScratchDirectory_win32.h"
#include "platform/SystemPlatform.h"
#include "support/CapturedOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr unsigned long long kTicksPerSecond = 10000000ULL;
// 2020-01-01 00:00 UTC, and the start of the step of 2^26 ticks (about 6.7 s)
// that holds it.
constexpr unsigned long long kTicks2020 = 132223104000000000ULL;
constexpr unsigned long long kStepStart = kTicks2020 & ~((1ULL << 26) - 1);

class WindowsPlatform : public testing::Test {
  protected:
    ScratchDirectory scratch;
    SystemPlatform platform;
    FoundPrograms programs;
};

TEST_F(WindowsPlatform, FileTimeOfMissingFileIsZero) {
    EXPECT_EQ(platform.fileTime("missing.c"), 0u);
    EXPECT_EQ(platform.fileTime("nodir\\missing.c"), 0u);
    EXPECT_EQ(platform.fileTime("*.none"), 0u);
}

TEST_F(WindowsPlatform, FileTimeConvertsTheLastWriteTime) {
    writeFile("main.c", "int main;\n");
    setWriteTicks("main.c", kTicks2020);
    EXPECT_EQ(platform.fileTime("main.c"), kTicks2020);
    // Letter case does not matter to the file system.
    EXPECT_EQ(platform.fileTime("MAIN.C"), kTicks2020);
}

TEST_F(WindowsPlatform, FileTimeKeepsEveryTick) {
    writeFile("a", "");
    writeFile("b", "");
    setWriteTicks("a", kStepStart);
    setWriteTicks("b", kStepStart + 6 * kTicksPerSecond);
    EXPECT_GT(platform.fileTime("b"), platform.fileTime("a"));
    setWriteTicks("b", kStepStart + 1);
    EXPECT_EQ(platform.fileTime("b"), platform.fileTime("a") + 1);
}

TEST_F(WindowsPlatform, FileTimeOfLateTimesIsLater) {
    writeFile("early", "");
    writeFile("late", "");
    // 2060-01-01 00:00 UTC: beyond what a 32-bit count of 6.7-second steps holds.
    const unsigned long long ticks2060 = 144845280000000000ULL;
    setWriteTicks("early", kTicks2020);
    setWriteTicks("late", ticks2060);
    EXPECT_EQ(platform.fileTime("late"), ticks2060);
    EXPECT_GT(platform.fileTime("late"), platform.fileTime("early"));
}

TEST_F(WindowsPlatform, FileTimeMatchesWildcardsAndDirectories) {
    ASSERT_TRUE(CreateDirectoryA("obj", nullptr));
    writeFile("obj\\main.obj", "");
    setWriteTicks("obj\\main.obj", kTicks2020);
    EXPECT_EQ(platform.fileTime("obj\\*.obj"), kTicks2020);
    EXPECT_EQ(platform.fileTime("obj\\m?in.OBJ"), kTicks2020);
    EXPECT_EQ(platform.fileTime("obj\\*.c"), 0u);
    setWriteTicks("obj", kTicks2020 + 60 * kTicksPerSecond);
    EXPECT_EQ(platform.fileTime("obj"), kTicks2020 + 60 * kTicksPerSecond);
}

// A stamp tells versions apart without reading; a digest reads files only,
// through every chunk.
TEST_F(WindowsPlatform, FileStampsAndDigests) {
    EXPECT_FALSE(platform.fileStamp("missing").exists());
    EXPECT_FALSE(platform.fileDigest("missing"));
    ASSERT_TRUE(CreateDirectoryA("obj", nullptr));
    EXPECT_TRUE(platform.fileStamp("obj").exists());
    EXPECT_FALSE(platform.fileDigest("obj"));

    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 31 + i / 7);
    }
    writeFile("big", big);
    setWriteTicks("big", kTicks2020);
    const std::optional<FileDigest> digest = platform.fileDigest("big");
    ASSERT_TRUE(digest);
    EXPECT_EQ(digest->digest, ContentHash::of(big));
    EXPECT_EQ(digest->stamp, platform.fileStamp("big"));
    EXPECT_EQ(digest->stamp.time, kTicks2020);
    EXPECT_GT(digest->readAt, digest->stamp.time);

    // Each change shows, although the time is set back to the same.
    const FileStamp first = platform.fileStamp("big");
    writeFile("other", big);
    setWriteTicks("other", kTicks2020);
    ASSERT_EQ(replaceFile("other", "big"), "");
    const FileStamp replaced = platform.fileStamp("big");
    EXPECT_EQ(replaced.time, first.time);
    EXPECT_NE(replaced.version, first.version);
    writeFile("big", "short");
    setWriteTicks("big", kTicks2020);
    EXPECT_NE(platform.fileStamp("big").version, replaced.version);
    EXPECT_EQ(platform.fileStamp("big"), platform.fileStamp("big"));
}

TEST_F(WindowsPlatform, RemoveFileDeletesOnlyTheNamedFile) {
    writeFile("gone.txt", "x");
    writeFile("kept.txt", "x");
    platform.removeFile("gone.txt");
    platform.removeFile("never-there.txt");
    EXPECT_FALSE(fileExists("gone.txt"));
    EXPECT_TRUE(fileExists("kept.txt"));
}

// What a path names itself, which decides how a half-made or failed target is
// treated: a link to a file goes as the link and gets the time itself, never
// the file it points to (where the system lets links be made at all).
TEST_F(WindowsPlatform, EntryKindAndLinksHandledThemselves) {
    writeFile("file.c", "");
    setWriteTicks("file.c", kTicks2020);
    ASSERT_TRUE(CreateDirectoryA("dir", nullptr));
    EXPECT_EQ(platform.entryKind("file.c"), EntryKind::File);
    EXPECT_EQ(platform.entryKind("dir"), EntryKind::Directory);
    EXPECT_EQ(platform.entryKind("missing"), EntryKind::None);
    EXPECT_FALSE(platform.removeFile("dir"));
    // Without administrator rights only in developer mode (the flag); wine
    // reports success and makes none.
    if (!CreateSymbolicLinkA("link", "file.c", SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) ||
        GetFileAttributesA("link") == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    EXPECT_EQ(platform.entryKind("link"), EntryKind::Link);
    EXPECT_TRUE(platform.setFileTime("link", kTicks2020 - 60 * kTicksPerSecond));
    EXPECT_EQ(platform.fileTime("file.c"), kTicks2020);
    EXPECT_TRUE(platform.removeFile("link"));
    EXPECT_EQ(platform.entryKind("link"), EntryKind::None);
    EXPECT_TRUE(fileExists("file.c"));
}

TEST_F(WindowsPlatform, TemporaryFileTakesTheFirstFreeNumber) {
    struct Case {
        std::vector<std::string> present;
        std::string expected;
    };
    const Case cases[] = {
        {{}, "tarvo0.$$$"},
        {{"tarvo0.$$$", "tarvo1.$$$"}, "tarvo2.$$$"},
        {{"tarvo1.$$$"}, "tarvo0.$$$"},
        // A directory takes a name as well as a file does, in any letter case.
        {{"TARVO0.$$$", "tarvo1.$$$\\"}, "tarvo2.$$$"},
    };
    for (const Case& c : cases) {
        ScratchDirectory inner;
        for (const std::string& name : c.present) {
            if (name.back() == '\\') {
                CreateDirectoryA(name.substr(0, name.size() - 1).c_str(), nullptr);
            } else {
                writeFile(name, "");
            }
        }
        EXPECT_EQ(platform.createTemporaryFile(TemporaryFile::Content::Text).name(), c.expected);
    }
}

TEST_F(WindowsPlatform, TemporaryFileTakesTheLastNameAnewWhenAllAreTaken) {
    for (int number = 0; number < 1000; ++number) {
        writeFile("tarvo" + std::to_string(number) + ".$$$", "stale");
    }
    {
        TemporaryFile file = platform.createTemporaryFile(TemporaryFile::Content::Binary);
        EXPECT_TRUE(file.created());
        EXPECT_EQ(file.name(), "tarvo999.$$$");
        std::fputs("fresh", file.stream());
        std::rewind(file.stream());
        char text[8] = {};
        EXPECT_EQ(std::fread(text, 1, sizeof text, file.stream()), 5u);
        EXPECT_STREQ(text, "fresh");
        // Held now: no other run may take the last name anew.
        EXPECT_FALSE(platform.createTemporaryFile(TemporaryFile::Content::Text).created());
    }
    EXPECT_FALSE(fileExists("tarvo999.$$$"));
}

TEST_F(WindowsPlatform, TemporaryFilesAreHeldUntilReleased) {
    TemporaryFile inlineFile = platform.createTemporaryFile(TemporaryFile::Content::Text);
    TemporaryFile kept = platform.createTemporaryFile(TemporaryFile::Content::Text);
    ASSERT_EQ(inlineFile.name(), "tarvo0.$$$");
    ASSERT_EQ(kept.name(), "tarvo1.$$$");
    std::fputs("line\n", inlineFile.stream());
    EXPECT_TRUE(inlineFile.closeStream());
    // A command reads it while the run holds it; no sweep removes it meanwhile.
    EXPECT_EQ(platform.runProcess("cmd /C findstr line tarvo0.$$$ >nul", programs), 0u);
    platform.sweepTemporaries();
    EXPECT_TRUE(fileExists("tarvo0.$$$"));
    EXPECT_FALSE(DeleteFileA("tarvo0.$$$"));
    kept.keep();
    inlineFile.release();
    kept.release();
    EXPECT_FALSE(fileExists("tarvo0.$$$"));
    EXPECT_TRUE(fileExists("tarvo1.$$$"));
}

TEST_F(WindowsPlatform, SweepRemovesEveryTemporaryAndNothingElse) {
    const std::vector<std::string> temporaries = {"tarvo0.$$$", "tarvo17.$$$", "tarvo.$$$",
                                                  "tarvoX.$$$", "TARVO5.$$$"};
    const std::vector<std::string> others = {"tarvo1.txt", "xtarvo1.$$$", "tarvo1.$$", "main.c"};
    for (const std::string& name : temporaries) {
        writeFile(name, "");
    }
    for (const std::string& name : others) {
        writeFile(name, "");
    }
    platform.sweepTemporaries();
    for (const std::string& name : temporaries) {
        EXPECT_FALSE(fileExists(name)) << name;
    }
    for (const std::string& name : others) {
        EXPECT_TRUE(fileExists(name)) << name;
    }
}

TEST_F(WindowsPlatform, SweepSkipsEntriesItCannotDelete) {
    writeFile("tarvo0.$$$", "");
    writeFile("tarvo1.$$$", "");
    SetFileAttributesA("tarvo1.$$$", FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateDirectoryA("tarvo2.$$$", nullptr));
    writeFile("tarvo3.$$$", "");
    const HANDLE held = CreateFileA("tarvo3.$$$", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    writeFile("tarvo4.$$$", "");

    platform.sweepTemporaries(); // must return

    CloseHandle(held);
    EXPECT_FALSE(fileExists("tarvo0.$$$"));
    EXPECT_TRUE(fileExists("tarvo1.$$$"));
    EXPECT_TRUE(fileExists("tarvo2.$$$"));
    EXPECT_TRUE(fileExists("tarvo3.$$$"));
    EXPECT_FALSE(fileExists("tarvo4.$$$"));
}

TEST_F(WindowsPlatform, RunProcessStartsProgramsDirectly) {
    // cmd.exe itself is a program: its exit code comes back whole.
    EXPECT_EQ(platform.runProcess("cmd /C exit 7", programs), 7u);
    EXPECT_EQ(platform.runProcess("cmd.exe /C exit 300", programs), 300u);
}

TEST_F(WindowsPlatform, RunProcessFallsBackToTheInterpreter) {
    struct Case {
        std::string commandLine;
        std::uint32_t exitCode;
    };
    const Case cases[] = {
        {"echo hello", 0},
        {"exit /b 3", 3},
        {"exit 70000", 70000},
        {"copy nul made.txt >nul", 0},
        // Longer than any fixed interpreter buffer: the comparison sees it whole.
        {"if " + std::string(300, 'x') + "==" + std::string(300, 'x') + " exit 5", 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform.runProcess(c.commandLine, programs), c.exitCode) << c.commandLine;
    }
    EXPECT_TRUE(fileExists("made.txt"));
    EXPECT_EQ(platform.runProcess("del made.txt", programs), 0u);
    EXPECT_FALSE(fileExists("made.txt"));
}

TEST_F(WindowsPlatform, RunProcessReportsACommandTheSystemRefuses) {
    // Past the system's 32767-character limit no start can succeed.
    const std::string tooLong = "x" + std::string(40000, 'y');
    std::uint32_t exitCode;
    std::string output;
    {
        const CapturedOutput captured(stdout);
        exitCode = platform.runProcess(tooLong, programs);
        output = captured.text();
    }
    EXPECT_EQ(exitCode, 1u);
    // The first 200 bytes of the command, then the system's reason.
    const std::string quoted =
        "Error (tarvo): Unable to run the command " + tooLong.substr(0, 200) + "...: ";
    EXPECT_EQ(output.compare(0, quoted.size(), quoted), 0) << output;
    EXPECT_GT(output.size(), quoted.size() + 1) << output;
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
}

TEST_F(WindowsPlatform, StartedProcessesEndWithWhatTheyWrote) {
    struct Case {
        std::string commandLine;
        std::uint32_t exitCode;
        std::string output;
        std::string errors;
    };
    const std::string wide(100, 'x');
    std::string lines;
    for (int i = 1; i <= 1000; ++i) {
        lines += wide + " " + std::to_string(i) + "\n";
    }
    const Case cases[] = {
        {"cmd /C echo out& echo err>&2& exit 5", 5, "out\n", "err\n"},
        {"exit 70000", 70000, "", ""},
        // More than a pipe holds: it is read while the command runs.
        {"for /L %i in (1,1,1000) do @echo " + wide + " %i", 0, lines, ""},
    };
    std::vector<std::uint64_t> ids;
    for (const Case& c : cases) {
        ids.push_back(platform.startProcess(c.commandLine, programs));
    }
    for (std::size_t ended = 0; ended < ids.size(); ++ended) {
        EndedProcess process = platform.waitForProcess();
        const auto found = std::find(ids.begin(), ids.end(), process.id);
        ASSERT_NE(found, ids.end()) << process.id;
        const Case& c = cases[found - ids.begin()];
        EXPECT_EQ(process.exitCode, c.exitCode) << c.commandLine;
        EXPECT_EQ(process.output.text(), c.output) << c.commandLine;
        EXPECT_EQ(process.errors.text(), c.errors) << c.commandLine;
        *found = 0;
    }
}

TEST_F(WindowsPlatform, StartProcessReportsACommandTheSystemRefuses) {
    const std::string tooLong = "x" + std::string(40000, 'y');
    const std::uint64_t id = platform.startProcess(tooLong, programs);
    EndedProcess process = platform.waitForProcess();
    EXPECT_EQ(process.id, id);
    EXPECT_EQ(process.exitCode, 1u);
    const std::string quoted =
        "Error (tarvo): Unable to run the command " + tooLong.substr(0, 200) + "...: ";
    const std::string output = process.output.text();
    EXPECT_EQ(output.compare(0, quoted.size(), quoted), 0) << output;
    EXPECT_EQ(process.errors.text(), "");
}

} // namespace
