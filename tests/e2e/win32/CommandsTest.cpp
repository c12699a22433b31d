#include "e2e/win32/WindowsRun.h"

#include <windows.h>

namespace {

const std::string kBanner = "TARVO version 1.0\n\n";

class Commands : public WindowsEndToEnd {};

TEST_F(Commands, InterpreterBuiltInsRunThroughTheFallback) {
    write("tarvo", "all:\n"
                   "\techo hello\n"
                   "\tcopy a.txt b.txt >nul\n"
                   "\tdel a.txt\n"
                   "\t-exit /b 3\n"
                   "\texit /b 4\n"
                   "\techo not reached\n");
    write("a.txt", "text\r\n");
    const RunResult result = run("");
    EXPECT_EQ(result.output, crlf(kBanner + "echo hello \n"
                                            "hello \n"
                                            "copy a.txt b.txt >nul \n"
                                            "del a.txt \n"
                                            "exit /b 3 \n"
                                            "exit /b 4 \n"))
        << result.errors;
    EXPECT_EQ(result.status, 4u);
    EXPECT_FALSE(exists("a.txt"));
    EXPECT_EQ(read("b.txt"), "text\r\n");
}

TEST_F(Commands, ExitCodesReachTheExitStatusWhole) {
    struct Case {
        const char* command;
        unsigned long status;
        const char* note;
    };
    const Case cases[] = {
        {"exit 300", 300, "300"},
        {"exit 70000", 70000, "70000"},
        // NTSTATUS codes, negative as signed 32-bit numbers, are said in hexadecimal too.
        {"exit -1073741819", 0xC0000005ul, "-1073741819 (0xC0000005, access violation)"},
        {"exit -1073741510", 0xC000013Aul, "-1073741510 (0xC000013A, Ctrl-C)"},
        {"exit -1073741823", 0xC0000001ul, "-1073741823 (0xC0000001)"},
    };
    for (const Case& c : cases) {
        write("tarvo", std::string("all:\n\t@") + c.command + "\n");
        const RunResult result = run("");
        EXPECT_EQ(result.output, crlf(kBanner)) << c.command;
        EXPECT_EQ(result.errors,
                  crlf(std::string("tarvo: all: command failed with status ") + c.note + "\n"))
            << c.command;
        EXPECT_EQ(result.status, c.status) << c.command;
    }
}

TEST_F(Commands, ProgramsStartDirectlyWithTheLineAsWritten) {
    makeDirectory("bin");
    installProbe("bin\\probe.exe");
    // cmd.exe would drop the caret; %TARVO_UNSET% names no variable, and the
    // quoted "|" is no pipe: the line starts directly.
    write("tarvo", "all:\n\tbin\\probe.exe  a^b   \"%TARVO_UNSET%  x|y\"\n");
    const RunResult result = run("", {"TARVO_SEEN=expanded"});
    EXPECT_EQ(result.output, crlf(kBanner + "bin\\probe.exe a^b \"%TARVO_UNSET% x|y\" \n"
                                            "[bin\\probe.exe a^b \"%TARVO_UNSET% x|y\" ]\n"))
        << result.errors;
    EXPECT_EQ(result.status, 0u);
}

TEST_F(Commands, LinesInCmdSyntaxGoToCmd) {
    makeDirectory("bin");
    installProbe("bin\\probe.exe");
    write("tarvo", "all:\n"
                   "\t@bin\\probe.exe /c x.c > cl.log 2>&1\n"
                   "\t@bin\\probe.exe a && bin\\probe.exe b\n"
                   "\t@bin\\probe.exe %TARVO_SEEN%\n");
    const RunResult result = run("", {"TARVO_SEEN=expanded"});
    EXPECT_EQ(result.output, crlf(kBanner + "[bin\\probe.exe a ]\n[bin\\probe.exe b ]\n"
                                            "[bin\\probe.exe expanded ]\n"))
        << result.errors;
    EXPECT_EQ(result.status, 0u);
    EXPECT_EQ(read("cl.log"), "[bin\\probe.exe /c x.c   ]\r\n");
}

TEST_F(Commands, QuotedProgramPathsReachCmdWhole) {
    makeDirectory("my tools");
    // Found by cmd alone, as a batch file named without its extension.
    write("my tools\\cc.bat", "@echo cc %1 %2\r\n");
    write("tarvo", "all:\n\t\"my tools\\cc\" \"main.c\" -o\n");
    const RunResult result = run("");
    EXPECT_EQ(result.output, crlf(kBanner + "\"my tools\\cc\" \"main.c\" -o \ncc \"main.c\" -o\n"))
        << result.errors;
    EXPECT_EQ(result.status, 0u);
}

TEST_F(Commands, FileTimesAndWildcardsDecide) {
    makeDirectory("src");
    write("src\\a.c", "");
    write("src\\b.c", "");
    write("out.txt", "");
    write("tarvo", "out.txt: SRC\\*.C\n\t@echo built from $@\n");
    struct Case {
        const char* what;
        unsigned long long sourceTicks;
        unsigned long long targetTicks;
        bool runs;
    };
    const Case cases[] = {
        {"sources newer", kTicks2020 + 60 * kTicksPerSecond, kTicks2020, true},
        {"target newer", kTicks2020, kTicks2020 + 60 * kTicksPerSecond, false},
        // Times compare to the tick, also within one step of 2^26 ticks (about 6.7 s).
        {"seconds newer in one step", (kTicks2020 & ~((1ULL << 26) - 1)) + 5 * kTicksPerSecond,
         kTicks2020 & ~((1ULL << 26) - 1), true},
        {"one tick newer", kTicks2020 + 1, kTicks2020, true},
        {"equal", kTicks2020, kTicks2020, false},
    };
    for (const Case& c : cases) {
        setWriteTicks("src\\a.c", c.sourceTicks);
        setWriteTicks("src\\b.c", c.sourceTicks);
        setWriteTicks("out.txt", c.targetTicks);
        const RunResult result = run("");
        EXPECT_EQ(result.output, crlf(kBanner + (c.runs ? "built from *.C \n" : "")))
            << c.what << result.errors;
        EXPECT_EQ(result.status, 0u) << c.what;
    }
    // A missing target is always out of date; a missing dependency never makes it so.
    write("tarvo", "new.txt: src\\*.c\n\t@echo new\n\nold.txt: src\\*.h\n\t@echo old\n");
    EXPECT_EQ(run("new.txt old.txt").output, crlf(kBanner + "new \n"));
}

// The last-write time in 100-ns units since 1601, or 0 when the file has none.
unsigned long long writeTicksOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

TEST_F(Commands, TheBuildRecordDecidesByContentWhereTimesMislead) {
    write("tarvo", "a.obj: a.c\n\ttype a.c > a.obj\n");
    write("a.c", "int a = 1;\r\n");
    // Of the same size, so that only its time tells the replaced file apart.
    write("old.c", "int a = 2;\r\n");
    setWriteTicks("a.c", kTicks2020);
    setWriteTicks("old.c", kTicks2020 - 3600 * kTicksPerSecond);
    const std::string made = crlf(kBanner + "type a.c > a.obj \n");
    const std::string upToDate = crlf("tarvo: a.obj is up to date\n");
    const RunResult first = run("TARVO_RECORD=.rec");
    EXPECT_EQ(first.output, made) << first.errors;
    EXPECT_EQ(first.status, 0u);
    EXPECT_EQ(read(".rec").rfind("tarvo build record 1\n", 0), 0u);
    setWriteTicks("a.obj", kTicks2020 + 60 * kTicksPerSecond);
    EXPECT_EQ(run("TARVO_RECORD=.rec").output, crlf(kBanner));

    // copy keeps the last-write time of what it copies: the source goes back in time.
    const RunResult copied = runCommandLine("cmd /c copy old.c a.c >nul");
    ASSERT_EQ(copied.status, 0u) << copied.output;
    ASSERT_EQ(read("a.c"), "int a = 2;\r\n");
    EXPECT_EQ(writeTicksOf(path("a.c")), kTicks2020 - 3600 * kTicksPerSecond);
    // Times alone find the object newer; the record finds other content.
    const RunResult byTimes = run("");
    EXPECT_EQ(byTimes.output, crlf(kBanner));
    EXPECT_EQ(byTimes.errors, upToDate);
    const RunResult replaced = run("TARVO_RECORD=.rec");
    EXPECT_EQ(replaced.output, made) << replaced.errors;
    EXPECT_EQ(replaced.errors, "");
    EXPECT_EQ(replaced.status, 0u);
    EXPECT_EQ(read("a.obj"), "int a = 2;\r\n");

    // A new time on the same content: the record makes nothing, times make it again.
    setWriteTicks("a.obj", kTicks2020 + 60 * kTicksPerSecond);
    setWriteTicks("a.c", kTicks2020 + 120 * kTicksPerSecond);
    const RunResult touched = run("TARVO_RECORD=.rec");
    EXPECT_EQ(touched.output, crlf(kBanner)) << touched.errors;
    EXPECT_EQ(touched.errors, upToDate);
    EXPECT_EQ(run("").output, made);

    // Copied over with the same size and the same time: its change time tells.
    write("same.c", "int a = 3;\r\n");
    setWriteTicks("same.c", kTicks2020 + 120 * kTicksPerSecond);
    ASSERT_EQ(runCommandLine("cmd /c copy same.c a.c >nul").status, 0u);
    EXPECT_EQ(run("TARVO_RECORD=.rec").output, made);
}

TEST_F(Commands, BackslashPathsAndTheSpecialMacros) {
    makeDirectory("obj");
    write("obj\\main.c", "int main;\n");
    setWriteTicks("obj\\main.c", kTicks2020);
    write("tarvo", "app.exe: obj\\main.obj c:util.lib\n"
                   "\techo link /out:$< $@ $*\n"
                   "\n"
                   ".c.obj:\n"
                   "\t@echo cl $< $* $& $@\n"
                   "\tcopy $< $*.obj >nul\n");
    const RunResult result = run("");
    EXPECT_EQ(result.output, crlf(kBanner + "cl obj\\main.c obj\\main main $@ \n"
                                            "copy obj\\main.c obj\\main.obj >nul \n"
                                            "echo link /out:app.exe main.obj util.lib app \n"
                                            "link /out:app.exe main.obj util.lib app \n"))
        << result.errors;
    EXPECT_EQ(result.status, 0u);
    EXPECT_EQ(read("obj\\main.obj"), "int main;\n");

    // Once the object is newer than its source, the inference rule does not run,
    // and app.exe, still missing, is made from the existing object.
    setWriteTicks("obj\\main.obj", kTicks2020 + 60 * kTicksPerSecond);
    EXPECT_EQ(run("").output, crlf(kBanner + "echo link /out:app.exe main.obj util.lib app \n"
                                             "link /out:app.exe main.obj util.lib app \n"));
    // Requested in other letters, the target name is used as requested.
    EXPECT_EQ(run("APP.EXE").output,
              crlf(kBanner + "echo link /out:APP.EXE main.obj util.lib APP \n"
                             "link /out:APP.EXE main.obj util.lib APP \n"));
}

TEST_F(Commands, TargetsNamedWithDriveLetters) {
    makeDirectory("out");
    write("main.obj", "object\n");
    setWriteTicks("main.obj", kTicks2020);
    const std::string app = path("out\\app.exe");
    ASSERT_EQ(app.compare(1, 2, ":\\"), 0) << app;
    write("tarvo", app + " " + path("out\\app.pdb") + ": main.obj\n\t@copy main.obj $< >nul\n");
    const RunResult made = run("");
    EXPECT_EQ(made.output, crlf(kBanner)) << made.errors;
    EXPECT_EQ(made.status, 0u);
    EXPECT_EQ(read("out\\app.exe"), "object\n");
    EXPECT_FALSE(exists(std::string(1, app[0])));
    // Named on the command line, and in the graph, the rule's target is that file.
    const RunResult pdb = run(path("out\\app.pdb"));
    EXPECT_EQ(pdb.output, crlf(kBanner)) << pdb.errors;
    EXPECT_EQ(read("out\\app.pdb"), "object\n");
    std::string label;
    for (const char c : app) {
        label += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    EXPECT_EQ(run("--graph " + app).output,
              crlf("digraph tarvo {\n    node [shape=box];\n    n0 [label=\"" + label +
                   "\"];\n    n1 [label=\"main.obj\"];\n    n0 -> n1;\n}\n"));
}

TEST_F(Commands, UnicodeNamesOfMsvcDependencyFilesAreChecked) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the names are those of the ANSI code page 1252";
    }
    write("tarvo", "TARVO_DEPFILE = $*.json\n\n.c.obj:\n\t@echo cl $<\n");
    // An escaped name, a raw UTF-8 one, and one that no ANSI code page spells.
    write("main.json", "{\"Version\": \"1.2\", \"Data\": {\"Includes\": "
                       "[\"caf\\u00e9.h\", \"na\xc3\xafve.h\", \"\\ud83d\\ude00.h\"]}}");
    write("main.c", "");
    write("main.obj", "");
    write("caf\xe9.h", "");
    write("na\xefve.h", "");
    setWriteTicks("main.c", kTicks2020);
    setWriteTicks("main.obj", kTicks2020 + 60 * kTicksPerSecond);
    for (const char* header : {"caf\xe9.h", "na\xefve.h"}) {
        setWriteTicks("caf\xe9.h", kTicks2020);
        setWriteTicks("na\xefve.h", kTicks2020);
        setWriteTicks(header, kTicks2020 + 120 * kTicksPerSecond);
        const RunResult result = run("main.obj");
        EXPECT_EQ(result.output, crlf(kBanner + "cl main.c \n")) << header;
        EXPECT_EQ(result.errors, crlf("tarvo: warning: main.json: \"??.h\" has no name in the "
                                      "ANSI code page 1252: passed over\n"))
            << header;
    }
}

TEST_F(Commands, MakefilesMarkedAsUtf8NameFilesByTheirCharacters) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the names are those of the ANSI code page 1252";
    }
    makeDirectory("bin");
    installProbe("bin\\probe.exe");
    // The makefile is UTF-8 with its mark; the file it includes has none and
    // keeps the ANSI code page.
    write("tarvo", "\xef\xbb\xbf!include \"d\xc3\xa9"
                   "fs.mak\"\n\n"
                   "app.exe: caf\xc3\xa9.obj\n\t@bin\\probe.exe $@ $(NOTE)\n\n"
                   ".c.obj:\n\t@copy $< $*.obj >nul\n\t@echo \xe2\x9c\x93 $*\n");
    write("d\xe9"
          "fs.mak",
          "NOTE = r\xe9sum\xe9\n");
    write("caf\xe9.c", "int x;\n");
    const RunResult result = run("");
    EXPECT_EQ(result.output,
              crlf(kBanner + "? caf\xe9 \n[bin\\probe.exe caf\xe9.obj r\xe9sum\xe9 ]\n"))
        << result.errors;
    EXPECT_EQ(result.errors, crlf("tarvo: tarvo, line 8: characters of this UTF-8 line that the "
                                  "ANSI code page 1252 lacks read as \"?\"\n"));
    EXPECT_EQ(result.status, 0u);
    EXPECT_EQ(read("caf\xe9.obj"), "int x;\n");
}

TEST_F(Commands, InlineFilesArePassedAndSwept) {
    write("tarvo", "all:\n"
                   "\ttype <<\n"
                   "first line of $<\n"
                   "\n"
                   "-@ kept as written\n"
                   "<<\n"
                   "\t@echo after\n");
    const RunResult result = run("");
    EXPECT_EQ(result.output, crlf(kBanner + "type tarvo0.$$$ \n"
                                            "first line of all\n"
                                            "\n"
                                            "-@ kept as written\n"
                                            "after \n"))
        << result.errors;
    EXPECT_EQ(result.status, 0u);
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(Commands, KeepTemporariesLeavesInlineFilesForTheNextRun) {
    write("tarvo", "all:\n\t@type <<\nline\n<<\n");
    const RunResult kept = run("-k");
    EXPECT_EQ(kept.output, crlf(kBanner + "line\n")) << kept.errors;
    EXPECT_EQ(temporaries(), std::vector<std::string>{"tarvo0.$$$"});
    EXPECT_EQ(read("tarvo0.$$$"), "line\r\n");

    // The next run takes the next free number and sweeps both after its command.
    write("tarvo", "all:\n\ttype <<\nagain\n<<\n");
    const RunResult swept = run("");
    EXPECT_EQ(swept.output, crlf(kBanner + "type tarvo1.$$$ \nagain\n")) << swept.errors;
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(Commands, QuotedArgumentsNameTargets) {
    write("tarvo", "ab:\n\t@echo ab\n\nc:\n\t@echo c\n\nd:\n\t@echo d\n\n"
                   "show:\n\t@echo [$(A B)]\n");
    // ab"c d" is three targets; "A B=c d" defines the macro "A B" as c.
    const RunResult result = run("ab\"c d\" \"A B=c d\" show");
    EXPECT_EQ(result.output, crlf(kBanner + "ab \nc \nd \n[c] \n")) << result.errors;
    EXPECT_EQ(result.status, 0u);
}

} // namespace

namespace {

TEST_F(Commands, CommandsTooLongForCmdOrTheSystemAreRefused) {
    makeDirectory("bin");
    installProbe("bin\\probe.exe");
    write("build.bat", "@echo ran\r\n");
    const std::string word(9000, 'x');
    const std::string huge(40000, 'x');
    const std::string refused = "Error (tarvo): The command of all is ";
    struct Case {
        std::string command;
        std::string output; // after the banner
        unsigned long status;
    };
    const Case cases[] = {
        // cmd runs nothing of a longer command and succeeds: an interpreter
        // built-in, a batch file, a line in cmd's syntax.
        {"echo " + word,
         refused + "9006 characters long; cmd accepts 8191. Use an inline file (<<).\n", 1},
        {"build.bat " + word,
         refused + "9011 characters long; cmd accepts 8191. Use an inline file (<<).\n", 1},
        {"bin\\probe.exe " + word + " > out.txt",
         refused + "9025 characters long; cmd accepts 8191. Use an inline file (<<).\n", 1},
        // Started directly, the program takes it, up to the system's limit.
        {"@bin\\probe.exe " + word, "[bin\\probe.exe " + word + " ]\n", 0},
        {"bin\\probe.exe " + huge,
         refused + "40015 characters long; Windows accepts 32766. Use an inline file (<<).\n", 1},
    };
    for (const Case& c : cases) {
        write("tarvo", "all:\n\t" + c.command + "\n");
        const RunResult result = run("");
        EXPECT_EQ(result.output, crlf(kBanner + c.output))
            << c.command.substr(0, 20) << result.errors;
        EXPECT_EQ(result.status, c.status) << c.command.substr(0, 20);
    }
    EXPECT_FALSE(exists("out.txt"));
}

TEST_F(Commands, MakefileEndsAtControlZ) {
    // What copy a.mak+b.mak c.mak writes.
    write("tarvo", "all:\r\n\t@echo hi\r\n\x1a");
    const RunResult result = run("");
    EXPECT_EQ(result.output, crlf(kBanner + "hi \n")) << result.errors;
    EXPECT_EQ(result.status, 0u);
}

} // namespace
