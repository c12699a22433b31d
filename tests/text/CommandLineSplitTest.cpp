#include "text/CommandLineSplit.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

struct SplitCase {
    std::string text;
    Words expected;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class Splitting : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Splitting, FollowsQuotesAndBlanks) {
    EXPECT_EQ(splitCommandLine(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Splitting,
    ::testing::Values(SplitCase{"", {}}, SplitCase{" \t ", {}},
                      SplitCase{"a  b\tc", {"a", "b", "c"}}, SplitCase{"\"A B=c d\"", {"A B=c d"}},
                      SplitCase{"ab\"c d\"", {"ab", "c", "d"}}, SplitCase{"\"a b\"c", {"a b", "c"}},
                      SplitCase{"\"\"", {""}}, SplitCase{"\"open to end", {"open to end"}},
                      SplitCase{"x \"\" y", {"x", "", "y"}}, SplitCase{"a\"", {"a"}}));

struct SkipCase {
    const char* commandLine;
    const char* rest;
};

void PrintTo(const SkipCase& c, std::ostream* out) {
    *out << '"' << c.commandLine << "\" -> \"" << c.rest << '"';
}

class SkipProgramName : public testing::TestWithParam<SkipCase> {};

TEST_P(SkipProgramName, LeavesTheTextAfterTheName) {
    EXPECT_EQ(skipProgramName(GetParam().commandLine), GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SkipProgramName,
    testing::Values(SkipCase{"", ""}, SkipCase{"tarvo", ""}, SkipCase{"tarvo -p", "-p"},
                    SkipCase{"tarvo   \t -p x", "-p x"}, SkipCase{"C:\\bin\\tarvo.exe all", "all"},
                    // Blanks inside quotes belong to the name.
                    SkipCase{"\"C:\\my tools\\tarvo.exe\" -f a.mak", "-f a.mak"},
                    // A quoted name ends at its closing quote, blank or not.
                    SkipCase{"\"tarvo\"-p", "-p"},
                    // An unquoted name ends at the first blank; a quote inside it is kept.
                    SkipCase{"ta\"r vo\" -p", "vo\" -p"},
                    // An unclosed quote takes the whole text.
                    SkipCase{"\"tarvo -p", ""},
                    // Control characters end the name and are dropped after it.
                    SkipCase{"tarvo\r\n\x01 -p", "-p"},
                    // Bytes above 127 are part of the name.
                    SkipCase{"t\xe4rvo x", "x"},
                    // Quotes after the name reach the splitter untouched.
                    SkipCase{"tarvo \"A B=c d\" ab\"c d\"", "\"A B=c d\" ab\"c d\""}));

TEST(SkipProgramNameThenSplit, GivesTheArgumentsOfTheRawText) {
    const std::vector<std::string> expected = {"A B=c d", "ab", "c", "d"};
    EXPECT_EQ(splitCommandLine(skipProgramName("\"C:\\x y\\tarvo.exe\" \"A B=c d\" ab\"c d\"")),
              expected);
}

} // namespace
