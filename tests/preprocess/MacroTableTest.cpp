#include "preprocess/MacroTable.h"
#include "text/Delimiters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string expand(const MacroTable& macros, std::string line) {
    EXPECT_TRUE(macros.expandMacros(line));
    return line;
}

struct ExpansionCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> macros;
    std::string line;
    std::string expected;
};

class Expansion : public ::testing::TestWithParam<ExpansionCase> {};

TEST_P(Expansion, ReplacesReferences) {
    MacroTable macros;
    for (const auto& macro : GetParam().macros) {
        macros.define(macro.first, macro.second);
    }
    EXPECT_EQ(expand(macros, GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Macros, Expansion,
    ::testing::Values(
        ExpansionCase{"Plain", {{"CC", "gcc"}}, "x $(cc) y", "x gcc y"},
        ExpansionCase{"Undefined", {}, "a$(NOPE)b", "ab"},
        ExpansionCase{"Substitution", {{"SRC", "a.c b.c"}}, "$(SRC:.c=.obj)", "a.obj b.obj"},
        ExpansionCase{"OldTextIsCaseSensitive", {{"SRC", "a.c b.c"}}, "$(SRC:.C=.obj)", "a.c b.c"},
        ExpansionCase{"SearchGoesOnAfterInsertedText", {{"X", "banana"}}, "$(X:a=aa)", "baanaanaa"},
        ExpansionCase{"EmptyNewYieldsNothing", {{"X", "abc"}}, "[$(X:b=)]", "[]"},
        ExpansionCase{"MissingEqualsYieldsNothing", {{"X", "abc"}}, "[$(X:b)]", "[]"},
        ExpansionCase{"EmptyOldYieldsNothing", {{"X", "abc"}}, "[$(X:=y)]", "[]"},
        ExpansionCase{"UnclosedRunsToEnd", {{"X", "1"}}, "abc $(X", "abc 1"},
        ExpansionCase{"NotNested", {{"B", "x"}, {"AX", "no"}}, "[$(A$(B))]", "[]"},
        ExpansionCase{"ParenthesesInsideSubstitution", {{"X", "f(a)"}}, "$(X:(a)=(b))", "f(b)"},
        ExpansionCase{"BlanksBelongToTheName", {{"A", "1"}}, "[$( A)]", "[]"},
        ExpansionCase{"EmptyName", {{"", "v"}}, "$()", "v"},
        ExpansionCase{
            "DollarJoinsValueStartingWithParen", {{"A", "(B)"}, {"B", "2"}}, "$$(A)", "2"},
        ExpansionCase{"DollarJoinsAfterEmptyReference", {{"B", "2"}}, "$$(NONE)(B)", "2"},
        ExpansionCase{"ValueEndingInDollarJoinsRest", {{"A", "x$"}, {"B", "y"}}, "$(A)(B)", "xy"},
        ExpansionCase{
            "ValuesWithReferencesExpandAgain", {{"A", "<$(B)>"}, {"B", "b"}}, "$(A)", "<b>"},
        ExpansionCase{"ReferenceSpanningValueAndRest", {{"A", "$(B"}, {"B", "z"}}, "$(A))", "z"},
        ExpansionCase{"LoneDollarsStay", {{"A", "1"}}, "$ $$ $x $", "$ $$ $x $"},
        ExpansionCase{"DollarBeforePlainValue", {{"A", "x"}}, "$$(A)", "$x"},
        ExpansionCase{"DollarJoinsSubstitutionStartingWithParen",
                      {{"A", "(X)"}, {"B", "2"}},
                      "$$(A:X=B)",
                      "2"},
        ExpansionCase{
            "SubstitutionResultExpandsAgain", {{"A", "$(B).c"}, {"B", "x"}}, "$(A:.c=.o)", "x.o"},
        ExpansionCase{
            "ReferenceInNewText", {{"A", "a.c b.c"}, {"B", "z"}}, "$(A:.c=$(B))", "az bz"},
        ExpansionCase{"PlainValuesInARow", {{"A", "1"}, {"B", "2"}}, "$(A)$(B)-$(A)", "12-1"}),
    [](const auto& info) { return std::string(info.param.name); });

// One table expands line after line with the same working storage; nothing
// of a line, not even of one that failed, may reach the next.
TEST(MacroTable, LinesInSequenceShareNothing) {
    MacroTable macros;
    macros.define("SELF", "<$(SELF)>");
    macros.define("LIST", "a.c b.c");
    macros.define("X", "(x)");
    const std::pair<std::string, std::string> lines[] = {
        {"$(LIST:.c=.obj) tail", "a.obj b.obj tail"},
        {"short", "short"},
        {"$(X)$(X)", "(x)(x)"},
        {"$(LIST)", "a.c b.c"},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& [line, expected] : lines) {
            std::string text = line;
            ASSERT_TRUE(macros.expandMacros(text));
            EXPECT_EQ(text, expected);
        }
        std::string failing = "x $(SELF) y";
        EXPECT_FALSE(macros.expandMacros(failing));
    }
}

TEST(MacroTable, DefineLockUndefine) {
    MacroTable macros;
    macros.define("CC", "gcc");
    macros.lock("cc");
    macros.define("Cc", "cl");
    macros.undefine("CC");
    EXPECT_EQ(macros.valueOf("CC"), "gcc");
    // One that is not locked takes the latest definition and its spelling.
    macros.define("LD", "ld");
    macros.define("ld", "link");
    EXPECT_EQ(macros.valueOf("LD"), "link");
    EXPECT_EQ(macros.entry("LD")->name, "ld");
    macros.undefine("Ld");
    EXPECT_FALSE(macros.isDefined("LD"));
    EXPECT_EQ(macros.valueOf("LD"), "LD");
    EXPECT_EQ(macros.entry("ld"), nullptr);
    // Defined again after its removal, the name takes its new spelling.
    macros.define("lD", "gold");
    ASSERT_NE(macros.entry("LD"), nullptr);
    EXPECT_EQ(macros.entry("LD")->name, "lD");
    EXPECT_EQ(macros.valueOf("ld"), "gold");
}

struct DefinitionCase {
    std::string line;
    bool isDefinition;
    std::string name;
    std::string value;
};

void PrintTo(const DefinitionCase& c, std::ostream* out) {
    *out << '"' << c.line << '"';
}

class DefinitionLines : public ::testing::TestWithParam<DefinitionCase> {};

TEST_P(DefinitionLines, AreRecognisedAndRecorded) {
    const DefinitionCase& c = GetParam();
    EXPECT_EQ(MacroTable::isMacroDefinitionLine(c.line), c.isDefinition) << c.line;
    if (c.isDefinition) {
        MacroTable macros;
        macros.defineMacroFromLine(c.line);
        ASSERT_TRUE(macros.isDefined(c.name));
        EXPECT_EQ(macros.valueOf(c.name), c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Macros, DefinitionLines,
    ::testing::Values(DefinitionCase{"X=1", true, "X", "1"},
                      DefinitionCase{"X = 1 # note", true, "X", "1 # note"},
                      DefinitionCase{"X == 1", true, "X", "= 1"},
                      DefinitionCase{"A_B.c;d\t=\t v w \t", true, "A_B.c;d", "v w"},
                      DefinitionCase{"  = v", true, "", "v"}, DefinitionCase{"X =", true, "X", ""},
                      DefinitionCase{"X:=1", false, "", ""}, DefinitionCase{"X+=1", false, "", ""},
                      DefinitionCase{"X ?= 1", false, "", ""},
                      DefinitionCase{"  X = 1", false, "", ""},
                      DefinitionCase{"all: x", false, "", ""}));

TEST(MacroTable, LockedMacroKeepsItsValueAgainstDefinitionLines) {
    MacroTable macros;
    macros.define("CC", "gcc");
    macros.lock("CC");
    macros.defineMacroFromLine("CC = cl");
    EXPECT_EQ(macros.valueOf("CC"), "gcc");
}

TEST(MacroTable, SelfReferenceIsReportedNotRepeatedForever) {
    MacroTable macros;
    macros.define("LOOP", "x$(LOOP)");
    macros.define("A", "$(B)");
    macros.define("B", "$(A)");
    for (const char* text : {"$(LOOP)", "a $(A) b"}) {
        std::string line = text;
        ExpansionFailure failure;
        EXPECT_FALSE(macros.expandMacros(line, &failure)) << text;
        EXPECT_FALSE(failure.macroName.empty());
        EXPECT_FALSE(failure.tooLarge);
    }
}

TEST(MacroTable, ValueHoldingItselfTwiceStopsWhenTooLarge) {
    // Each level of this substitution triples the text: depth alone would not stop it.
    MacroTable macros;
    macros.define("S", "a&c$(S:&c=&c&c&c)");
    std::string line = "$(S)";
    ExpansionFailure failure;
    EXPECT_FALSE(macros.expandMacros(line, &failure));
    EXPECT_EQ(failure.macroName, "S");
}

TEST(MacroTable, LargeSubstitutionIsComplete) {
    MacroTable macros;
    std::string words;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        words += "w" + std::to_string(i) + ".c ";
        expected += "w" + std::to_string(i) + ".obj ";
    }
    macros.define("SRC", words);
    std::string line = "$(SRC:.c=.obj)";
    ASSERT_TRUE(macros.expandMacros(line));
    EXPECT_EQ(line, expected);
}

TEST(MacroTable, ManyReferencesInOneLine) {
    MacroTable macros;
    macros.define("X", "ab");
    std::string line;
    for (int i = 0; i < 50000; ++i) {
        line += "$(X) ";
    }
    ASSERT_TRUE(macros.expandMacros(line));
    EXPECT_EQ(line.size(), 50000u * 3);
    EXPECT_EQ(line.find("$("), std::string::npos);
}

} // namespace

namespace {

TEST(Delimiters, ExactlyTheListedCharacters) {
    const std::string listed = " \t\r\n\\$,()*&^%#@![]{}|/-+=<>?:";
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        const bool expected = c != 0 && listed.find(ch) != std::string::npos;
        EXPECT_EQ(isDelimiter(ch), expected) << "character " << c;
    }
}

} // namespace
