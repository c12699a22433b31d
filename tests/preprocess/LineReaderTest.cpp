#include "preprocess/LineReader.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Line {
    std::string text;
    long number;
    bool operator==(const Line& other) const {
        return text == other.text && number == other.number;
    }
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << line.number << ":[" << line.text << "]";
}

std::vector<Line> readAll(const std::string& content) {
    TempFile file(content);
    LineReader reader(file.get());
    std::vector<Line> lines;
    while (const std::string* line = reader.readLogicalLine()) {
        lines.push_back({*line, reader.lineNumber()});
    }
    return lines;
}

struct PlainCase {
    const char* name;
    std::string input;
    std::vector<Line> expected;
};

class PlainLines : public ::testing::TestWithParam<PlainCase> {};

TEST_P(PlainLines, JoinsAndTrims) {
    EXPECT_EQ(readAll(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reader, PlainLines,
    ::testing::Values(
        PlainCase{"BlanksBeforeBackslashAndLeadingBlanksStay",
                  "CFLAGS = -a \\\n    -b\n",
                  {{"CFLAGS = -a     -b", 1}}},
        PlainCase{"EmptyPieceEndsContinuation", "a \\\n\nb\n", {{"a ", 1}, {"b", 2}}},
        PlainCase{"TwoBackslashesJoinPastEmptyLine", "a\\\\\n\nb\n", {{"ab", 1}}},
        PlainCase{"LastLineContinuedIsLost", "x\ny \\\n", {{"x", 1}}},
        PlainCase{"NumbersCountLogicalLines", "a\\\nb\\\nc\nd\n", {{"abc", 1}, {"d", 2}}},
        PlainCase{"CrLfAndTrailingBlanks", "a \t\r\n  b\r\n", {{"a", 1}, {"  b", 2}}},
        PlainCase{"BlankBeforeCarriageReturnStays", "a\t\r \n", {{"a\t\r", 1}}},
        PlainCase{"NoFinalLineFeed", "a\nb", {{"a", 1}, {"b", 2}}},
        PlainCase{"ZeroByteCutsThePhysicalLine",
                  std::string("ab\0cd\\\nef\n", 10),
                  {{"ab", 1}, {"ef", 2}}},
        PlainCase{"ZeroByteFirstGivesEmptyLine", std::string("\0x\ny\n", 5), {{"", 1}, {"y", 2}}},
        PlainCase{"ZeroBytesOnSeveralLines",
                  std::string("a\0b\0c\nd\0\ne\n\0\0\n", 14),
                  {{"a", 1}, {"d", 2}, {"e", 3}, {"", 4}}},
        PlainCase{"EmptyFile", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineReader, LongLinesAreReadWhole) {
    const std::string big(300000, 'q');
    const std::vector<Line> lines = readAll(big + "\\\n" + big + "\nz\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, big + big);
    EXPECT_EQ(lines[1].text, "z");
}

// Lines that cross the reader's buffer, with zero bytes before and after the cut.
TEST(LineReader, ZeroBytesInLongLines) {
    const std::string big(100000, 'q');
    std::string input = big + std::string("\0", 1) + big + "\n";
    input += "x" + big + big + std::string("\0", 1) + "y\n";
    input += "ok\n";
    const std::vector<Line> lines = readAll(input);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, big);
    EXPECT_EQ(lines[1].text, "x" + big + big);
    EXPECT_EQ(lines[2].text, "ok");
}

TEST(LineReader, LineClasses) {
    EXPECT_TRUE(isCommentLine("#x"));
    EXPECT_FALSE(isCommentLine(" #x"));
    EXPECT_FALSE(isCommentLine(""));
    EXPECT_TRUE(isDirectiveLine("!if"));
    EXPECT_FALSE(isDirectiveLine("\t!if"));
}

} // namespace
