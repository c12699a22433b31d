#include "exec/CommandSplit.h"
#include "exec/TempNames.h"
#include "text/Words.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandSplit, ShellOnlyWhenTheLineNeedsOne) {
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

TEST(CommandSplit, ShellLineEscapesTemporaryNamesOnly) {
    EXPECT_EQ(shellLine("cat tarvo3.$$$ > $OUT"), "cat tarvo3.\\$\\$\\$ > $OUT");
    EXPECT_EQ(shellLine("echo 'tarvo3.$$$' | x"), "echo 'tarvo3.$$$' | x");
    EXPECT_EQ(splitWords("  a \t b  c "), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(TempNames, WildcardsIgnoreCase) {
    EXPECT_TRUE(isTemporaryName("tarvo0.$$$"));
    EXPECT_TRUE(isTemporaryName("TARVO.$$$"));
    EXPECT_TRUE(isTemporaryName("tarvoX.$$$"));
    EXPECT_FALSE(isTemporaryName("tarvo0.$$"));
    EXPECT_FALSE(isTemporaryName("xtarvo0.$$$"));
    EXPECT_TRUE(matchesWildcard("*.c", "Main.C"));
    EXPECT_TRUE(matchesWildcard("m?in.*", "main.c"));
    EXPECT_FALSE(matchesWildcard("m?in.*", "mn.c"));
    EXPECT_TRUE(matchesWildcard("a*b*c", "aXXbYYbc"));
    EXPECT_EQ(temporaryName(42), "tarvo42.$$$");
}

} // namespace
