#include "platform/PlatformConventions.h"
#include "preprocess/ConditionEvaluator.h"
#include "preprocess/IntermediateFile.h"
#include "preprocess/MacroTable.h"
#include "preprocess/Preprocessor.h"
#include "support/CapturedOutput.h"
#include "text/Diagnostics.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Counts the conditions handed to the evaluator.
class CountingEvaluator : public ConditionEvaluator {
  public:
    std::unique_ptr<Value> evaluate(const std::string& text) override {
        evaluated.push_back(text);
        return ConditionEvaluator::evaluate(text);
    }
    std::vector<std::string> evaluated;
};

// A fresh current directory for the files of one case, removed afterwards.
class ScratchDirectory {
  public:
    ScratchDirectory() : previous_(fs::current_path()) {
        std::random_device random;
        do {
            path_ = fs::temp_directory_path() / ("tarvo-unit-" + std::to_string(random()));
        } while (!fs::create_directory(path_));
        fs::current_path(path_);
    }
    ~ScratchDirectory() {
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  private:
    fs::path previous_;
    fs::path path_;
};

// Backslashes separate directories only where the platform says so.
void writeFile(const std::string& name, const std::string& content) {
    const fs::path path(name);
    if (path.has_parent_path()) {
        fs::create_directories(path.parent_path());
    }
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << content;
}

struct Outcome {
    std::string records;
    std::string messages;
    int status = 0;
};

struct MacroSetting {
    std::string name;
    std::string value;
    bool locked;
};

// Runs pass 1 over the makefile "makefile" in a scratch directory.
class PassOne {
  public:
    PassOne() = default;
    PassOne(const PassOne&) = delete;
    PassOne& operator=(const PassOne&) = delete;

    void define(const MacroSetting& macro) {
        macros.define(macro.name, macro.value);
        if (macro.locked) {
            macros.lock(macro.name);
        }
    }

    Outcome run(const std::string& makefile) {
        writeFile("makefile", makefile);
        std::FILE* input = std::fopen("makefile", "rb");
        std::FILE* intermediate = std::fopen("records.tmp", "w+b");
        EXPECT_NE(input, nullptr);
        EXPECT_NE(intermediate, nullptr);
        Outcome outcome;
        IntermediateFile records(intermediate);
        {
            const CapturedOutput captured(stdout);
            outcome.status = preprocessor.preprocessMakefile(input, "makefile", records);
            outcome.messages = captured.text();
        }
        EXPECT_TRUE(records.finish());
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, intermediate)) > 0) {
            outcome.records.append(buffer, got);
        }
        std::fclose(intermediate);
        std::fclose(input);
        return outcome;
    }

    MacroTable macros;
    CountingEvaluator evaluator;
    // One preprocessor for every run: blocks left open carry over, as from one
    // include file to the next.
    Diagnostics diagnostics;
    Preprocessor preprocessor{macros, evaluator, diagnostics};
};

struct DirectiveCase {
    const char* name;
    std::string makefile;
    std::string records;
    std::string messages;
    int status;
    std::vector<MacroSetting> macros = {};
    std::vector<std::pair<std::string, std::string>> files = {};
};

void PrintTo(const DirectiveCase& c, std::ostream* out) {
    *out << c.name;
}

class Directives : public ::testing::TestWithParam<DirectiveCase> {};

TEST_P(Directives, WriteTheRecordsAndMessages) {
    const DirectiveCase& c = GetParam();
    ScratchDirectory scratch;
    for (const auto& file : c.files) {
        writeFile(file.first, file.second);
    }
    PassOne pass;
    for (const MacroSetting& macro : c.macros) {
        pass.define(macro);
    }
    const Outcome outcome = pass.run(c.makefile);
    EXPECT_EQ(outcome.records, c.records);
    EXPECT_EQ(outcome.messages, c.messages);
    EXPECT_EQ(outcome.status, c.status);
}

std::string nameOf(const ::testing::TestParamInfo<DirectiveCase>& info) {
    return info.param.name;
}

const DirectiveCase kConditionalBlocks[] = {
    {"IfTrue", "!if 1 == 1\na\n!else\nb\n!endif\nc\n", "makefile,2|a\nmakefile,6|c\n", "", 0},
    {"IfFalse", "!if 1 == 2\na\n!else\nb\n!endif\nc\n", "makefile,4|b\nmakefile,6|c\n", "", 0},
    {"IfWordIsFalse", "!if 1\na\n!endif\n", "", "", 0},
    {"IfMalformedIsFalseAndSilent", "!if (a == a\na\n!else\nb\n!endif\n", "makefile,4|b\n", "", 0},
    {"ConditionAfterExpansion",
     "!if $(MODE) == DEBUG\nd\n!else\nr\n!endif\n",
     "makefile,2|d\n",
     "",
     0,
     {{"MODE", "debug", false}}},
    {"FirstTrueBranchOnly", "!if 0\na\n!elif x == x\nb\n!elif y == y\nc\n!else\nd\n!endif\n",
     "makefile,4|b\n", "", 0},
    {"ElseWhenNoBranchHolds", "!if a == b\na\n!elif b == c\nb\n!else\nd\n!endif\n",
     "makefile,6|d\n", "", 0},
    {"TakenIfdefSkipsElifAndElse",
     "!ifdef A\na\n!elif 1 == 1\nb\n!else\nc\n!endif\n",
     "makefile,2|a\n",
     "",
     0,
     {{"A", "", false}}},
    {"IfdefAndIfndef",
     "!ifdef A\n1\n!endif\n!ifdef B\n2\n!endif\n!ifndef A\n3\n!endif\n!ifndef B\n4\n!endif\n",
     "makefile,2|1\nmakefile,11|4\n",
     "",
     0,
     {{"a", "x", false}}},
    {"IfdefTakesFirstWordAfterDelimiters",
     "!ifdef ((A)) B\n1\n!endif\n!ifdef $(N)\n2\n!endif\n",
     "makefile,2|1\nmakefile,5|2\n",
     "",
     0,
     {{"A", "", false}, {"N", "A", false}}},
    {"NamelessIfdefFalseIfndefTrue",
     "!ifdef\n1\n!endif\n!ifndef\n2\n!endif\n!ifdef ()\n3\n!endif\n",
     "makefile,5|2\n",
     "",
     0,
     {{"", "empty-named", false}}},
    {"ElifdefAndElifndef",
     "!if 0\n!elifdef B\na\n!elifndef B\nb\n!endif\n!if 0\n!elifdef A\nc\n!endif\n",
     "makefile,5|b\nmakefile,9|c\n",
     "",
     0,
     {{"A", "1", false}}},
    {"NamesIgnoreLetterCase",
     "!IFDEF X\na\n!Else\nb\n!ENDIF\n!IF 0\nc\n!ELIFNDEF Y\nd\n!EndIf\n",
     "makefile,2|a\nmakefile,9|d\n",
     "",
     0,
     {{"x", "1", false}}},
    {"NestedBlocks", "!if 1 == 1\n!if 0\na\n!else\nb\n!endif\nc\n!endif\nd\n",
     "makefile,5|b\nmakefile,7|c\nmakefile,9|d\n", "", 0},
    {"InnerBlockOfSkippedRegionIsSkipped", "!if 0\n!if 1 == 1\nx\n!endif\ny\n!endif\nz\n",
     "makefile,7|z\n", "", 0},
    {"InnerBlockAfterTakenBranchIsSkipped",
     "!if 1 == 1\na\n!else\n!if 1 == 1\nb\n!endif\nc\n!endif\nd\n", "makefile,2|a\nmakefile,9|d\n",
     "", 0},
    {"SkippedIfdefLeavesElseToOuterBlock",
     "!if 0\n!ifdef X\n!endif\n!else\ny\n!endif\n",
     "makefile,5|y\n",
     "",
     0,
     {{"X", "1", false}}},
    {"DeepNesting",
     "!if 1 == 1\n!if 1 == 1\n!if 0\n!if 1 == "
     "1\na\n!endif\n!else\nb\n!endif\nc\n!endif\nd\n!endif\ne\n",
     "makefile,8|b\nmakefile,10|c\nmakefile,12|d\nmakefile,14|e\n", "", 0},
    {"DirectiveMadeByExpansion",
     "$(BANG)if 0\na\n$(BANG)endif\nb\n",
     "makefile,4|b\n",
     "",
     0,
     {{"BANG", "!", false}}},
    {"DefinitionsInSkippedRegionsAreIgnored", "X = 1\n!if 0\nX = 2\n!endif\nv$(X)\n",
     "makefile,5|v1\n", "", 0},
};
INSTANTIATE_TEST_SUITE_P(ConditionalBlocks, Directives, ::testing::ValuesIn(kConditionalBlocks),
                         nameOf);

const DirectiveCase kMisspeltNames[] = {
    {"UnknownIfWhileTaking", "a\n!iffy\nb\n", "makefile,1|a\n",
     "Error (tarvo): makefile, line 2: Invalid directive !iffy", 1},
    {"UnknownIfInSkippedRegionOpensBlock", "!if 0\n!iffy\na\n!endif\nb\n!else\nc\n!endif\n",
     "makefile,7|c\n", "", 0},
    {"UnknownIfAfterTakenBranchIsSilent", "!if 1 == 1\n!else\n!iffy\n!endif\n!endif\nd\n",
     "makefile,6|d\n", "", 0},
    {"UnknownElseWhileTakingSkips", "!if 1 == 1\na\n!elsewhere\nb\n!endif\nc\n",
     "makefile,2|a\nmakefile,6|c\n", "", 0},
    {"UnknownElseWhereABranchMayComeIsReported", "!if 0\n!elsif 1\na\n!endif\n", "",
     "Error (tarvo): makefile, line 2: Invalid directive !elsif", 1},
    {"UnknownElseAfterTakenBranchIsSilent", "!if 1 == 1\n!else\n!elsif\n!endif\nz\n",
     "makefile,5|z\n", "", 0},
    {"OtherNamesReportedEvenWhenSkipping", "!if 0\n!message hello\n!endif\n", "",
     "Error (tarvo): makefile, line 2: Invalid directive !message", 1},
    {"EndifWithSuffixIsUnknown", "!if 0\n!endifx\n", "",
     "Error (tarvo): makefile, line 2: Invalid directive !endifx", 1},
    {"BlankAfterBangGivesEmptyName", "! ifdef X\n", "",
     "Error (tarvo): makefile, line 1: Invalid directive !", 1},
    {"LoneBang", "a\n!\nb\n", "makefile,1|a\n",
     "Error (tarvo): makefile, line 2: Invalid directive !", 1},
    {"NameEndsAtTab", "!if\t0\na\n!endif\n!bogus\targ\n", "",
     "Error (tarvo): makefile, line 4: Invalid directive !bogus", 1},
};
INSTANTIATE_TEST_SUITE_P(MisspeltNames, Directives, ::testing::ValuesIn(kMisspeltNames), nameOf);

const DirectiveCase kUnbalanced[] = {
    {"StrayEndifChangesNothing", "a\n!endif\nb\n", "makefile,1|a\nmakefile,3|b\n", "", 0},
    {"ElseOutsideBlockThenBlock", "!else\na\n!if 1\nb\n!endif\nc\n", "makefile,6|c\n", "", 0},
    {"StrayEndifBeforeTheBlock", "!else\na\n!endif\n!if 1\nb\n!endif\nc\n", "", "", 0},
    {"StrayEndifFirst", "!endif\n!else\na\n!if 1\nb\n!endif\nc\n", "", "", 0},
    {"UnknownElseOutsideBlockSkipsOn", "!elsewhere\na\n!endif\nb\n", "", "", 0},
    {"MissingEndifIsNotReported", "!if 0\na\n", "", "", 0},
    {"ExtraEndifAfterBalancedBlock", "!if 0\na\n!endif\n!endif\nb\n", "makefile,5|b\n", "", 0},
};
INSTANTIATE_TEST_SUITE_P(Unbalanced, Directives, ::testing::ValuesIn(kUnbalanced), nameOf);

const DirectiveCase kOtherDirectives[] = {
    {"Undef", "X = 1\n!undef X\nv$(X)\n", "makefile,3|v\n", "", 0},
    {"UndefIgnoresCaseAndLaterWords", "X = 1\n!undef (x) y\nv$(X)\n", "makefile,3|v\n", "", 0},
    {"UndefInSkippedRegion", "X = 1\n!if 0\n!undef X\n!endif\nv$(X)\n", "makefile,5|v1\n", "", 0},
    {"UndefWithoutNameKeepsEmptyNamedMacro",
     "!undef\n!undef ()\nv$()\n",
     "makefile,3|vkept\n",
     "",
     0,
     {{"", "kept", false}}},
    {"UndefOfLockedMacroIsSilent",
     "!undef CC\nv$(CC)\n",
     "makefile,2|vgcc\n",
     "",
     0,
     {{"CC", "gcc", true}}},
    {"ErrorStopsPassOne", "a\n!error stop here\nb\n", "makefile,1|a\n",
     "Error (tarvo): Error Directive: stop here\n", 1},
    {"ErrorKeepsInnerBlanks", "!error   two  words\n", "",
     "Error (tarvo): Error Directive:   two  words\n", 1},
    {"ErrorWithoutText", "!error\n", "", "Error (tarvo): Error Directive: \n", 1},
    {"ErrorArgumentIsExpanded",
     "!ERROR need $(WHAT)\n",
     "",
     "Error (tarvo): Error Directive: need KEL_ROOT\n",
     1,
     {{"WHAT", "KEL_ROOT", false}}},
    {"ErrorInSkippedRegion", "!if 0\n!error no\n!endif\na\n", "makefile,4|a\n", "", 0},
};
INSTANTIATE_TEST_SUITE_P(OtherDirectives, Directives, ::testing::ValuesIn(kOtherDirectives),
                         nameOf);

// The path of an include file named in angle brackets, below KEL_ROOT.
std::string underKelRoot(const std::string& root, const std::string& name) {
    const std::string separator = directorySeparator();
    return root + separator + "include" + separator + name;
}

const char kUnableInc[] = "Error (tarvo):  Unable to open include file %\n                (make "
                          "sure KEL_ROOT is defined)";

std::string unableToOpen(const std::string& path) {
    std::string message = kUnableInc;
    return message.replace(message.find('%'), 1, path);
}

const DirectiveCase kIncludes[] = {
    {"FromCurrentDirectoryInPlace",
     "a\n!include inc.mak\nb\n",
     "makefile,1|a\ninc.mak,1|i\ninc.mak,3|j\nmakefile,3|b\n",
     "",
     0,
     {},
     {{"inc.mak", "i\n# note\nj\n"}}},
    {"AngleBracketsWithoutKelRoot",
     "!include <inc.mak>\n",
     "inc.mak,1|i\n",
     "",
     0,
     {},
     {{"inc.mak", "i\n"}}},
    {"ThroughKelRoot",
     "!include <defs.mak>\n!include defs.mak\n",
     underKelRoot("kel", "defs.mak") + ",1|d\n" + underKelRoot("kel", "defs.mak") + ",1|d\n",
     "",
     0,
     {{"KEL_ROOT", "kel", false}},
     {{underKelRoot("kel", "defs.mak"), "d\n"}, {"defs.mak", "here\n"}}},
    {"KelRootDefinedInMakefile",
     "KEL_ROOT = kel\n!include defs.mak\n",
     underKelRoot("kel", "defs.mak") + ",1|d\n",
     "",
     0,
     {},
     {{underKelRoot("kel", "defs.mak"), "d\n"}}},
    {"QuotedNameIgnoresKelRoot",
     "!include \"defs.mak\"\n",
     "defs.mak,1|here\n",
     "",
     0,
     {{"KEL_ROOT", "kel", false}},
     {{"defs.mak", "here\n"}}},
    {"QuotedNameEndsAtBlank",
     "!include \"a b.mak\"\n",
     "a,1|from a\n",
     "",
     0,
     {},
     {{"a", "from a\n"}}},
    {"QuotedNameWithoutClosingQuote",
     "!include \"inc.mak\n",
     "inc.mak,1|i\n",
     "",
     0,
     {},
     {{"inc.mak", "i\n"}}},
    {"PathIsExpanded",
     "!include $(NAME).mak\n",
     "inc.mak,1|i\n",
     "",
     0,
     {{"NAME", "inc", false}},
     {{"inc.mak", "i\n"}}},
    {"NothingToInclude", "!include\n!include <>\na\n", "makefile,3|a\n", "", 0},
    {"Missing", "a\n!include nothere.mak\nb\n", "makefile,1|a\n", unableToOpen("nothere.mak"), 1},
    {"MissingThroughKelRoot",
     "!include <x.mak>\n",
     "",
     unableToOpen(underKelRoot("C:\\kel", "x.mak")),
     1,
     {{"KEL_ROOT", "C:\\kel", false}}},
    {"MissingQuotedNameReportedToo", "!include \"q.mak\"\n", "", unableToOpen("q.mak"), 1},
    {"EmptyQuotedName", "!include \"\"\n", "", unableToOpen(""), 1},
    {"DirectoryIsNoIncludeFile",
     "!include sub\n",
     "",
     unableToOpen("sub"),
     1,
     {},
     {{"sub/file", "x\n"}}},
    {"NotOpenedInSkippedRegion", "!if 0\n!include nothere.mak\n!endif\na\n", "makefile,4|a\n", "",
     0},
    {"ErrorInsideStopsIncluder",
     "a\n!include inc.mak\nb\n",
     "makefile,1|a\ninc.mak,1|i\n",
     "Error (tarvo): Error Directive: boom\n",
     1,
     {},
     {{"inc.mak", "i\n!error boom\nj\n"}}},
    {"InvalidDirectiveInsideNamesIncludeLine",
     "!include inc.mak\nb\n",
     "inc.mak,1|i\n",
     "Error (tarvo): inc.mak, line 2: Invalid directive !oops",
     1,
     {},
     {{"inc.mak", "i\n!oops\n"}}},
    {"MissingNestedInclude",
     "!include inc.mak\nb\n",
     "",
     unableToOpen("gone.mak"),
     1,
     {},
     {{"inc.mak", "!include gone.mak\nj\n"}}},
    {"NestedIncludesKeepTheirNames",
     "a\n!include one.mak\nb\n",
     "makefile,1|a\none.mak,1|1a\ntwo.mak,1|2a\none.mak,3|1b\nmakefile,3|b\n",
     "",
     0,
     {},
     {{"one.mak", "1a\n!include two.mak\n1b\n"}, {"two.mak", "2a\n"}}},
    {"MacrosShared",
     "X = 1\n!include inc.mak\nm$(X)$(Y)\n",
     "inc.mak,2|i1\nmakefile,3|m12\n",
     "",
     0,
     {},
     {{"inc.mak", "Y = 2\ni$(X)\n"}}},
    {"IncludeEndingInsideSkippedBlock",
     "!include inc.mak\na\n!else\nb\n!endif\nc\n",
     "makefile,4|b\nmakefile,6|c\n",
     "",
     0,
     {},
     {{"inc.mak", "!if 0\nskipped\n"}}},
    {"BlockClosedInsideInclude",
     "!if 1 == 1\n!include inc.mak\na\n",
     "inc.mak,1|i\ninc.mak,5|k\nmakefile,3|a\n",
     "",
     0,
     {},
     {{"inc.mak", "i\n!else\nj\n!endif\nk\n"}}},
    {"LastLineWithoutLineEnd",
     "!include inc.mak\nb\n",
     "inc.mak,1|i\ninc.mak,2|j\nmakefile,2|b\n",
     "",
     0,
     {},
     {{"inc.mak", "i\nj"}}},
};
INSTANTIATE_TEST_SUITE_P(Includes, Directives, ::testing::ValuesIn(kIncludes), nameOf);

TEST(DirectiveIncludes, SelfIncludeStopsAtTheNestingLimit) {
    ScratchDirectory scratch;
    writeFile("self.mak", "s\n!include self.mak\nnever\n");
    PassOne pass;
    const Outcome outcome = pass.run("a\n!include self.mak\nb\n");
    std::string records = "makefile,1|a\n";
    for (int i = 0; i < Preprocessor::kMaxIncludeDepth; ++i) {
        records += "self.mak,1|s\n";
    }
    EXPECT_EQ(outcome.records, records);
    EXPECT_EQ(outcome.messages, "Error (tarvo): self.mak, line 2: Include file self.mak nested "
                                "more than 64 levels deep\n");
    EXPECT_EQ(outcome.status, 1);
}

TEST(DirectiveIncludes, MutualIncludesStopAtTheNestingLimit) {
    ScratchDirectory scratch;
    writeFile("ping.mak", "!include pong.mak\n");
    writeFile("pong.mak", "\n!include ping.mak\n");
    PassOne pass;
    const Outcome outcome = pass.run("!include ping.mak\n");
    // Level 64 is pong.mak (even levels), whose second line asks for a 65th.
    EXPECT_EQ(outcome.messages, "Error (tarvo): pong.mak, line 2: Include file ping.mak nested "
                                "more than 64 levels deep\n");
    EXPECT_EQ(outcome.status, 1);
}

TEST(DirectiveIncludes, SixtyFourLevelsAreAllowed) {
    ScratchDirectory scratch;
    for (int level = 1; level <= Preprocessor::kMaxIncludeDepth; ++level) {
        std::string content = "l" + std::to_string(level) + "\n";
        if (level < Preprocessor::kMaxIncludeDepth) {
            content += "!include " + std::to_string(level + 1) + ".mak\n";
        }
        writeFile(std::to_string(level) + ".mak", content);
    }
    PassOne pass;
    const Outcome outcome = pass.run("!include 1.mak\nend\n");
    EXPECT_EQ(outcome.messages, "");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.records.find("64.mak,1|l64\nmakefile,2|end\n"), std::string::npos);
}

TEST(DirectiveIncludes, LongPathsHaveNoFixedLimit) {
    ScratchDirectory scratch;
    const std::string name = std::string(150, 'n') + ".mak";
    writeFile(name, "i\n");
    PassOne pass;
    const Outcome outcome = pass.run("!include " + name + "\n!include \"" + name + "\"\n");
    EXPECT_EQ(outcome.records, name + ",1|i\n" + name + ",1|i\n");
    EXPECT_EQ(outcome.status, 0);
}

struct EvaluationCase {
    const char* makefile;
    std::vector<std::string> evaluated;
};

void PrintTo(const EvaluationCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(std::string(c.makefile));
}

class ConditionsEvaluatedOnlyWhereTheyMatter : public ::testing::TestWithParam<EvaluationCase> {};

TEST_P(ConditionsEvaluatedOnlyWhereTheyMatter, Evaluates) {
    ScratchDirectory scratch;
    PassOne pass;
    const Outcome outcome = pass.run(GetParam().makefile);
    EXPECT_EQ(outcome.status, 0) << outcome.messages;
    EXPECT_EQ(pass.evaluator.evaluated, GetParam().evaluated);
}

const EvaluationCase kEvaluationCases[] = {
    {"!if a == a\n!endif\n", {"a == a"}},
    {"!if  two  blanks\n!endif\n", {" two  blanks"}},
    {"!if 0\n!if b == b\n!elif c\n!endif\n!endif\n", {"0"}},
    {"!if 1 == 1\n!elif b\n!else\n!if c\n!endif\n!endif\n", {"1 == 1"}},
    {"!if 0\n!elif b\n!elif c == c\n!elif d\n!endif\n", {"0", "b", "c == c"}},
    {"!if 1 == 1\n!if 0\n!if x\n!elif y\n!endif\n!elif z\n!endif\n!endif\n", {"1 == 1", "0", "z"}},
    {"!ifdef NOPE\n!if a\n!endif\n!elif b\n!endif\n", {"b"}},
};
INSTANTIATE_TEST_SUITE_P(Directives, ConditionsEvaluatedOnlyWhereTheyMatter,
                         ::testing::ValuesIn(kEvaluationCases));

TEST(DirectiveState, OneSavedPairRebuiltOnEndif) {
    ScratchDirectory scratch;
    PassOne pass;
    EXPECT_EQ(pass.run("!if 1 == 1\n!if 0\n!if 1 == 1\nskipped\n").records, "");
    // The innermost block lies in a skipped region: its !endif leaves the
    // middle block skipping, where an !else is still taken.
    EXPECT_EQ(pass.run("!endif\nskipped\n!else\ntaken\n").records, "makefile,4|taken\n");
    // Stray !endif lines after the last block change nothing.
    EXPECT_EQ(pass.run("!endif\n!endif\n!endif\nafter\n").records, "makefile,4|after\n");
}

TEST(DirectiveState, InvalidDirectiveStopsTakingLines) {
    ScratchDirectory scratch;
    PassOne pass;
    const Outcome outcome = pass.run("!if 1 == 1\n!ifx\nnever\n");
    EXPECT_EQ(outcome.records, "");
    EXPECT_EQ(outcome.status, 1);
}

} // namespace
