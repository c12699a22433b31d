#include "rules/RuleParser.h"
#include "preprocess/IntermediateFile.h"
#include "rules/Rule.h"
#include "rules/RuleTable.h"
#include "support/CapturedOutput.h"
#include "support/TempFile.h"
#include "text/Diagnostics.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

Lines texts(const LinkedList& list) {
    Lines result;
    for (const ListItem* item = list.head(); item != nullptr; item = item->next()) {
        result.push_back(item->text());
    }
    return result;
}

// Parses makefile lines as pass 1 would have written them, tagged
// "makefile,N|" with N counting from 1.
class RuleParserTest : public ::testing::Test {
  protected:
    void parse(const Lines& lines) {
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        IntermediateFile records(file);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            records.writeRecord("makefile", static_cast<long>(i + 1), lines[i]);
        }
        ASSERT_TRUE(records.finish());
        {
            const CapturedOutput captured(stdout);
            Diagnostics diagnostics;
            RuleParser parser(table, diagnostics);
            status = parser.parseRules(records);
            defaultTarget = parser.defaultTarget();
            output = captured.text();
        }
        std::fclose(file);
    }

    const TargetRule& target(const std::string& name) {
        const TargetRule* rule = dynamic_cast<const TargetRule*>(table.lookup(name));
        if (rule == nullptr) {
            ADD_FAILURE() << "no target rule " << name;
            static const TargetRule none("");
            return none;
        }
        return *rule;
    }

    // Names of the table's rules in table order.
    Lines names() const {
        Lines result;
        for (const Rule* rule = table.first(); rule != nullptr; rule = table.next(*rule)) {
            result.push_back(rule->name);
        }
        return result;
    }

    RuleTable table;
    std::string output;
    int status = -1;
    std::optional<std::string> defaultTarget;
};

TEST(RuleParserLineClasses, InferenceAndExplicitLines) {
    struct Case {
        const char* line;
        bool inference;
        bool explicitRule;
    };
    const Case cases[] = {
        {"", false, false},
        {".c.obj:", true, false},
        {".x", true, false},
        {"..\\x.exe: y", true, false},
        {"a: b", false, true},
        {"a:", false, true},
        {":", false, true},
        {"  cl /c x.c", false, false},
        {"\tcopy c:\\x y", false, true},
        {"foo", false, false},
        {"x.c: y", false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RuleParser::isInferenceRuleLine(c.line), c.inference) << c.line;
        EXPECT_EQ(RuleParser::isExplicitRuleLine(c.line), c.explicitRule) << c.line;
    }
}

TEST_F(RuleParserTest, EmptyInputMakesNothing) {
    parse({});
    parse({"", "", ""});
    EXPECT_TRUE(names().empty());
    EXPECT_EQ(output, "");
    EXPECT_FALSE(defaultTarget);
    EXPECT_EQ(status, 0);
}

TEST_F(RuleParserTest, StrayWordIsASyntaxErrorAndStopsParsing) {
    parse({"a: b", "", "", "", "", "", "foo", "", "c: d"});
    EXPECT_EQ(output, "Error (tarvo):  Syntax error in makefile, line 7");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(names(), Lines{"a"});
}

TEST_F(RuleParserTest, SeveralTargetsShareDependenciesAndCommands) {
    parse({"b a: x y", "\t  cmd $@", ""});
    EXPECT_EQ(names(), (Lines{"a", "b"}));
    for (const char* name : {"a", "b"}) {
        EXPECT_EQ(texts(target(name).dependencies), (Lines{"x", "y"}));
        EXPECT_EQ(texts(target(name).commands), Lines{"cmd $@"});
    }
    EXPECT_EQ(defaultTarget, "b");
}

TEST_F(RuleParserTest, TargetsOfOneLineHoldOneCopyOfItsLists) {
    // Copies for each target would take targets x dependencies items: a line of
    // a few thousand words each way would fill the memory.
    std::string line;
    for (int i = 0; i < 3000; ++i) {
        line += "t" + std::to_string(i) + " ";
    }
    line += ":";
    for (int i = 0; i < 3000; ++i) {
        line += " d" + std::to_string(i);
    }
    parse({line, "\tcmd", ""});
    const TargetRule& first = target("t0");
    const TargetRule& last = target("t2999");
    EXPECT_EQ(texts(first.dependencies).size(), 3000u);
    EXPECT_EQ(&first.dependencies, &last.dependencies);
    EXPECT_EQ(&first.commands, &last.commands);
    EXPECT_EQ(texts(last.commands), Lines{"cmd"});
}

TEST_F(RuleParserTest, RuleLineWithoutEmptyLineSwallowsTheNextRule) {
    parse({"all: a b", "a: x"});
    EXPECT_EQ(names(), Lines{"all"});
    EXPECT_EQ(texts(target("all").commands), Lines{"a: x"});
}

TEST_F(RuleParserTest, ColonsSplitOnlyOnce) {
    parse({"a:: b", "", "a\tb:", ""});
    const Rule* a = table.first();
    ASSERT_EQ(a->name, "a");
    EXPECT_EQ(texts(static_cast<const TargetRule*>(a)->dependencies), (Lines{":", "b"}));
    EXPECT_EQ(defaultTarget, "a");
}

TEST_F(RuleParserTest, DriveLettersBelongToTargetNames) {
    parse({"c:\\out.exe: in.obj", "", "x.exe D:/bin/y.exe\tz:\\w.exe:: C:\\i.obj", "", "e: f:g", "",
           "h:\\j", ""});
    EXPECT_EQ(texts(target("c:\\out.exe").dependencies), Lines{"in.obj"});
    EXPECT_EQ(defaultTarget, "c:\\out.exe");
    for (const char* name : {"x.exe", "D:/bin/y.exe", "z:\\w.exe"}) {
        EXPECT_EQ(texts(target(name).dependencies), (Lines{":", "C:\\i.obj"})) << name;
    }
    // No "\\" or "/" after the colon, or no other colon on the line: split at the first.
    EXPECT_EQ(texts(target("e").dependencies), Lines{"f:g"});
    EXPECT_EQ(texts(target("h").dependencies), Lines{"\\j"});
}

TEST_F(RuleParserTest, DuplicateTargetsAreNotMerged) {
    // With only two equal keys, the one inserted first is found.
    parse({"app: a", "", "APP: b", ""});
    EXPECT_EQ(names().size(), 2u);
    EXPECT_EQ(texts(target("app").dependencies), Lines{"a"});
    parse({"x x: c", ""});
    EXPECT_EQ(names().size(), 4u);
}

TEST_F(RuleParserTest, InferenceRules) {
    const std::string longExtension(100, 'x');
    parse({".c.obj:", "\tcl -c $<", "", ".c .o", "", ".c.tar.gz:", "", ".a." + longExtension, "",
           ".cpp.obj:", ""});
    Lines expected = {".o", ".obj", ".obj", ".tar.gz", "." + longExtension};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names(), expected);
    const InferenceRule* rule = dynamic_cast<const InferenceRule*>(table.lookup("x.obj"));
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->sourceExtension, ".c");
    EXPECT_EQ(texts(rule->commands), Lines{"cl -c $<"});
    const InferenceRule* blank = dynamic_cast<const InferenceRule*>(table.lookup("x.o"));
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank->sourceExtension, ".c ");
    EXPECT_FALSE(defaultTarget);
}

TEST_F(RuleParserTest, IgnoredInferenceLinesLeaveTheirCommandsToTheLoop) {
    // No second dot; empty source extension; no target token.
    parse({".c", "\tcopy c:\\x y", "", "..\\x.exe: y", "", ".c.:", ""});
    EXPECT_EQ(names(), (Lines{"c", "copy"}));
    EXPECT_EQ(texts(target("copy").dependencies), (Lines{"\\x", "y"}));
    EXPECT_EQ(output, "");

    RuleTable other;
    const TempFile file("");
    IntermediateFile records(file.get());
    records.writeRecord("mk", 1, ".obj");
    records.writeRecord("mk", 2, "\tcl x");
    ASSERT_TRUE(records.finish());
    const CapturedOutput captured(stdout);
    Diagnostics diagnostics;
    RuleParser(other, diagnostics).parseRules(records);
    EXPECT_EQ(captured.text(), "Error (tarvo):  Syntax error in mk, line 2");
}

TEST_F(RuleParserTest, InlineBlocksKeepEmptyLines) {
    parse({"lib: x", "\tlib <<", "a.obj", "", "  b.obj", "<<", "", "next: y", ""});
    EXPECT_EQ(texts(target("lib").commands), (Lines{"lib <<", "a.obj", "", "b.obj", "<<"}));
    EXPECT_EQ(texts(target("next").dependencies), Lines{"y"});
}

TEST_F(RuleParserTest, InlineTerminators) {
    // One character after "<<" terminates; a blank after it means "<<".
    parse({"a:", "copy <<END x", "", "the End",    "", "b:", "lib << x", "E", "",    "x<<", "",
           "c:", "lib <<",       "", ".c.obj: <<", "", "d:", "cat <<!",  "",  "e: f"});
    EXPECT_EQ(texts(target("a").commands), (Lines{"copy <<END x", "", "the End"}));
    EXPECT_EQ(texts(target("b").commands), (Lines{"lib << x", "E", "", "x<<"}));
    // Inside a block a rule line is a command line, here one that closes it.
    EXPECT_EQ(texts(target("c").commands), (Lines{"lib <<", "", ".c.obj: <<"}));
    // The file ends while the inline block is still open.
    EXPECT_EQ(texts(target("d").commands), (Lines{"cat <<!", "", "e: f"}));
    EXPECT_EQ(names(), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(output, "");
}

TEST_F(RuleParserTest, RuleOnTheLastLineHasNoCommands) {
    parse({"a: b"});
    EXPECT_TRUE(texts(target("a").commands).empty());
}

TEST_F(RuleParserTest, DefaultTarget) {
    // Only the first explicit-rule line counts, even when it names no target.
    parse({": x", "", "a: b", ""});
    EXPECT_FALSE(defaultTarget);
    parse({"B a: x", "", "c: d"});
    EXPECT_EQ(defaultTarget, "B");
}

TEST_F(RuleParserTest, RuleWithoutTargetsDropsItsBlock) {
    parse({": x", "\tcmd", "", "a:", "\tok", ""});
    EXPECT_EQ(names(), Lines{"a"});
    EXPECT_EQ(texts(target("a").commands), Lines{"ok"});
}

} // namespace
