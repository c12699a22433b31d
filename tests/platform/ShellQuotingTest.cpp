#include "platform/ShellQuoting.h"
#include "platform/RefusedCommand.h"
#include "platform/TempNames.h"
#include "text/Words.h"

#include <gtest/gtest.h>

namespace {

TEST(ShellQuoting, ShellOnlyWhenTheLineNeedsOne) {
    const char* direct[] = {
        "cc -c main.c ", "copy a\\b c\\d ", "lib @tarvo3.$$$ ", "echo tarvo12.$$$ x", "",
        "a -DX=1"};
    for (const char* line : direct) {
        EXPECT_FALSE(needsShell(line)) << line;
    }
    const char* shell[] = {"echo a > b",  "a && b", "echo $HOME", "X=1 cmd",  "  X=1",
                           "echo 'q'",    "a;b",    "ls *.c",     "echo `x`", "a | b",
                           "echo x.$$$$", "echo ~", "a\nb",       "f(x)",     "echo \"q\""};
    for (const char* line : shell) {
        EXPECT_TRUE(needsShell(line)) << line;
    }
}

TEST(ShellQuoting, ShellLineEscapesTemporaryNamesOnly) {
    EXPECT_EQ(shellLine("cat tarvo3.$$$ > $OUT"), "cat tarvo3.\\$\\$\\$ > $OUT");
    EXPECT_EQ(shellLine("echo 'tarvo3.$$$' | x"), "echo 'tarvo3.$$$' | x");
    EXPECT_EQ(splitWords("  a \t b  c "), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(TempNames, WildcardsIgnoreCaseUnlessExact) {
    EXPECT_TRUE(isTemporaryName("tarvo0.$$$"));
    EXPECT_TRUE(isTemporaryName("tarvoX.$$$"));
    EXPECT_FALSE(isTemporaryName("tarvo0.$$"));
    EXPECT_FALSE(isTemporaryName("xtarvo0.$$$"));
    EXPECT_TRUE(matchesWildcard("*.c", "Main.C"));
    EXPECT_TRUE(matchesWildcard("m?in.*", "main.c"));
    EXPECT_FALSE(matchesWildcard("m?in.*", "mn.c"));
    EXPECT_TRUE(matchesWildcard("a*b*c", "aXXbYYbc"));
    EXPECT_FALSE(matchesWildcard("*.c", "Main.C", true));
    EXPECT_TRUE(matchesWildcard("M?in.*", "Main.c", true));
    EXPECT_EQ(temporaryName(42), "tarvo42.$$$");
}

TEST(ShellQuoting, ShellWordQuotesWhatWouldSplitOrBeInterpreted) {
    EXPECT_EQ(shellWord("/usr/local/bin/tarvo"), "/usr/local/bin/tarvo");
    EXPECT_EQ(shellWord("/home/a b/tarvo"), "'/home/a b/tarvo'");
    EXPECT_EQ(shellWord("/opt/$x/it's"), "'/opt/$x/it'\\''s'");
    EXPECT_EQ(shellWord(""), "''");
}

TEST(RefusedCommand, QuotesAtMost200BytesOfTheCommand) {
    const std::string prefix = "Error (tarvo): Unable to run the command ";
    const std::string line(200, 'x');
    EXPECT_EQ(refusedCommandMessage(line, "Permission denied"),
              prefix + line + ": Permission denied\n");
    EXPECT_EQ(refusedCommandMessage(line + "y", "Argument list too long"),
              prefix + line + "...: Argument list too long\n");
}

} // namespace
