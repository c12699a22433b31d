#include "e2e/win32/WindowsRun.h"

#include <windows.h>

namespace {

const char kBanner[] = "TARVO version 1.0\n\n";

class Startup : public WindowsEndToEnd {};

TEST_F(Startup, ListsThePreprocessedMakefileAndRemovesIt) {
    write("tarvo", "# comment\r\nall: one \\\r\n two\r\n\r\n\tcopy a b\r\n");
    const RunResult result = run("-p");
    EXPECT_EQ(result.output,
              crlf(std::string(kBanner) + "tarvo,2|all: one  two\ntarvo,3|\ntarvo,4|\tcopy a b\n"));
    EXPECT_EQ(result.status, 0u);
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(Startup, AnswersHelpAndVersionWithoutReadingTheMakefile) {
    write("tarvo", "!error the makefile was read\r\n");
    for (const char* arguments : {"/?", "-h", "--help"}) {
        const RunResult result = run(arguments);
        EXPECT_EQ(
            result.output.rfind("Usage: tarvo [options] [NAME=value ...] [targets ...]\r\n", 0), 0u)
            << arguments;
        EXPECT_EQ(result.status, 0u) << arguments;
    }
    const RunResult version = run("--version");
    EXPECT_EQ(version.output.rfind(std::string("tarvo ") + TARVO_VERSION, 0), 0u) << version.output;
    ASSERT_GE(version.output.size(), 2u);
    EXPECT_EQ(version.output.substr(version.output.size() - 2), "\r\n");
    EXPECT_EQ(version.status, 0u);
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(Startup, SplitsTheRawCommandLineByItsOwnRules) {
    write("tarvo", "all: [$(A B)] [$(X)] [$(Y)] [$(Q)] [$(E)]\n");
    struct Case {
        const char* arguments;
        const char* listed;
    };
    const Case cases[] = {
        // One quoted argument: the name holds a blank, the value is the first word.
        {"-p \"A B=c d\"", "[c] [] [] [] []"},
        // A quote ends a plain argument and opens no quoted one.
        {"-p X=ab\"Y=c d\"", "[] [ab] [c] [] []"},
        {"-p \"X=a b\"Y=c", "[] [a] [c] [] []"},
        // An unclosed quote runs to the end; blanks and tabs separate.
        {"-p\tQ=1 \t \"E=2 3", "[] [] [] [1] [2]"},
        // No escape: a backslash before a quote is an ordinary character.
        {"-p X=\\\"Y=1", "[] [\\] [1] [] []"},
    };
    for (const Case& c : cases) {
        const RunResult result = run(c.arguments);
        EXPECT_EQ(result.output, crlf(std::string(kBanner) + "tarvo,1|all: " + c.listed + "\n"))
            << c.arguments;
        EXPECT_EQ(result.status, 0u) << c.arguments;
    }
}

TEST_F(Startup, SkipsTheProgramNameAsTheStartUpDoes) {
    makeDirectory("my tools");
    ASSERT_TRUE(CopyFileA(tarvoPath().c_str(), path("my tools\\tarvo.exe").c_str(), FALSE));
    write("tarvo", "all: [$(X)]\n");
    const std::string expected = crlf(std::string(kBanner) + "tarvo,1|all: [1]\n");
    // Quoted with a blank inside, followed by blanks and control characters.
    EXPECT_EQ(runCommandLine("\"" + path("my tools\\tarvo.exe") + "\" \t -p X=1").output, expected);
    // A quoted name ends at its quote even without a blank after it.
    EXPECT_EQ(runCommandLine("\"" + path("my tools\\tarvo.exe") + "\"-p X=1").output, expected);
    // An unquoted name ends at the first blank.
    makeDirectory("bin");
    ASSERT_TRUE(CopyFileA(tarvoPath().c_str(), path("bin\\tarvo.exe").c_str(), FALSE));
    char shortPath[MAX_PATH];
    ASSERT_NE(GetShortPathNameA(path("bin\\tarvo.exe").c_str(), shortPath, MAX_PATH), 0u);
    ASSERT_EQ(std::string(shortPath).find(' '), std::string::npos) << shortPath;
    EXPECT_EQ(runCommandLine(std::string(shortPath) + "\t-p X=1").output, expected);
}

TEST_F(Startup, EnvironmentVariablesBecomeMacros) {
    write("tarvo", "all: [$(TOOLS)] [$(MAKE)] [$(OS_NAME)]\n");
    const RunResult result = run("-p", {"TOOLS=C:\\A B;C:\\C", "make=other", "OS_NAME=Windows_NT"});
    EXPECT_EQ(result.output,
              crlf(std::string(kBanner) + "tarvo,1|all: [C:\\A] [other] [Windows_NT]\n"));
    // The command line wins over the environment.
    EXPECT_EQ(run("-p TOOLS=x", {"TOOLS=y"}).output,
              crlf(std::string(kBanner) + "tarvo,1|all: [x] [TARVO] []\n"));
}

TEST_F(Startup, MacrosOfCutEnvironmentValuesAreSaidOnce) {
    write("tarvo", "all:\n\t@echo $(ProgramFiles) %ProgramFiles%\n\t@echo $(PROGRAMFILES)\n");
    const RunResult result = run("", {"ProgramFiles=C:\\Program Files"});
    EXPECT_EQ(result.output,
              crlf(std::string(kBanner) + "C:\\Program C:\\Program Files \nC:\\Program \n"));
    EXPECT_EQ(
        result.errors,
        crlf("tarvo: tarvo, line 2: $(ProgramFiles) is \"C:\\Program\", the first word of the "
             "environment variable; %ProgramFiles% in a command gives its whole value, "
             "\"C:\\Program Files\"\n"));
    EXPECT_EQ(result.status, 0u);
}

TEST_F(Startup, MakefileNamesWithBackslashes) {
    makeDirectory("src");
    write("src\\build.mk", "all: from-src\n");
    write("build.mk.mak", "all: from-fallback\n");
    EXPECT_EQ(run("-p -f src\\build.mk").output,
              crlf(std::string(kBanner) + "src\\build.mk,1|all: from-src\n"));
    EXPECT_EQ(run("-p -fbuild.mk").output,
              crlf(std::string(kBanner) + "build.mk.mak,1|all: from-fallback\n"));
    // With a dot after the last backslash the name is tried twice as it is.
    const RunResult missing = run("-p -f src\\none.mk");
    EXPECT_EQ(missing.output,
              crlf(std::string(kBanner)) + "Error (tarvo):  Unable to open file src\\none.mk");
    EXPECT_EQ(missing.status, 1u);
    // Without one, ".mak" is added.
    EXPECT_EQ(run("-p -f src\\none").output,
              crlf(std::string(kBanner)) + "Error (tarvo):  Unable to open file src\\none.mak");
}

TEST_F(Startup, IntermediateFileTakesTheFirstFreeNameAndIsSwept) {
    write("tarvo", "all:\n");
    write("tarvo0.$$$", "left by an earlier run\n");
    write("tarvoX.$$$", "");
    // With -k the earlier temporaries stay; only the intermediate file goes.
    EXPECT_EQ(run("-p -k").status, 0u);
    EXPECT_EQ(temporaries(), (std::vector<std::string>{"tarvo0.$$$", "tarvoX.$$$"}));
    // Without it the sweep at the end removes every one of them.
    EXPECT_EQ(run("-p").status, 0u);
    EXPECT_TRUE(temporaries().empty());
    EXPECT_TRUE(exists("tarvo"));
}

TEST_F(Startup, MissingMakefileNamesTheFallback) {
    const RunResult result = run("");
    EXPECT_EQ(result.output,
              crlf(std::string(kBanner)) + "Error (tarvo):  Unable to open file tarvo.mak");
    EXPECT_EQ(result.status, 1u);
    EXPECT_TRUE(temporaries().empty());
}

} // namespace
