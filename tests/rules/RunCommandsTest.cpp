#include "exec/SequentialExecutor.h"
#include "platform/FileTimeCache.h"
#include "rules/Rule.h"
#include "rules/RuleTable.h"
#include "rules/Walk.h"
#include "support/CapturedOutput.h"
#include "support/FakePlatform.h"
#include "support/TempDirectory.h"
#include "text/Diagnostics.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// A rule's commands as the decision hands them to the executor that runs
// them one at a time.
class CommandRunnerTest : public ::testing::Test {
  protected:
    void SetUp() override { platform.temporaryDirectory = directory.prefix(); }

    // Runs the lines as the commands of a target rule with one dependency.
    void run(const Lines& lines, const std::string& target = "out.exe") {
        TargetRule rule(target);
        rule.addDependency("lib\\in.obj");
        for (const std::string& line : lines) {
            rule.addCommand(line);
        }
        runRule(rule, target);
    }

    void runRule(Rule& rule, const std::string& target) {
        const CapturedOutput captured(stdout);
        context.runCommands(rule, target);
        output += captured.text();
    }

    int status() const { return context.status(); }

    std::string inlineName(int number) const {
        return directory.prefix() + "tarvo" + std::to_string(number) + ".$$$";
    }

    // The inline file as the command that starts with `program` sees it.
    void readInlineFileAt(const std::string& program, int number, std::string& seen) {
        platform.onRun = [this, program, number, &seen](const std::string& command) {
            if (command.compare(0, program.size(), program) == 0) {
                seen = TempDirectory::read(inlineName(number));
            }
        };
    }

    TempDirectory directory;
    FakePlatform platform;
    FileTimeCache files{platform};
    SequentialExecutor executor{files, false};
    RuleTable rules;
    Diagnostics diagnostics;
    Walk context{rules, files, executor, WalkPolicy(), diagnostics};
    std::string output;
};

struct PrefixCase {
    const char* name;
    const char* line;
    const char* echoed; // empty: nothing printed
    const char* started;
    std::uint32_t exitCode;
    int status;
};

class Prefixes : public CommandRunnerTest, public ::testing::WithParamInterface<PrefixCase> {};

TEST_P(Prefixes, EchoRunAndStatus) {
    const PrefixCase& c = GetParam();
    platform.exitCodes[c.started] = c.exitCode;
    run({c.line, "next"});
    const bool goesOn = c.status == 0;
    EXPECT_EQ(output, std::string(c.echoed) + (goesOn ? "next \n" : ""));
    EXPECT_EQ(platform.started, goesOn ? (Lines{c.started, "next "}) : Lines{c.started});
    EXPECT_EQ(status(), c.status);
}

const PrefixCase kPrefixCases[] = {
    {"Plain", "echo hi", "echo hi \n", "echo hi ", 0, 0},
    {"BlanksCollapse", "echo   a \t  b  ", "echo a b \n", "echo a b ", 0, 0},
    {"QuotedBlanksCollapseToo", "echo \"a   b\"", "echo \"a b\" \n", "echo \"a b\" ", 0, 0},
    {"Silent", "@echo hi", "", "echo hi ", 0, 0},
    {"IgnoreError", "-cl /c x.c", "cl /c x.c \n", "cl /c x.c ", 2, 0},
    {"FailureStops", "cl /c x.c", "cl /c x.c \n", "cl /c x.c ", 2, 2},
    {"SilentIgnore", "@-echo hi", "", "echo hi ", 1, 0},
    {"IgnoreSilent", "-@-@echo hi", "", "echo hi ", 1, 0},
    {"BlankEndsPrefixes", "- @x", "@x \n", "@x ", 3, 0},
    {"OnlyPrefixes", "@-", "", "", 0, 0},
    {"LargeExitCode", "big", "big \n", "big ", 70000, 70000},
};

INSTANTIATE_TEST_SUITE_P(Runner, Prefixes, ::testing::ValuesIn(kPrefixCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandRunnerTest, SweepsAfterEachCommandUnlessKept) {
    run({"a", "b"});
    EXPECT_EQ(platform.sweeps, 2);
    SequentialExecutor keeping(files, true);
    Walk keepingContext(rules, files, keeping, WalkPolicy(), diagnostics);
    TargetRule rule("out");
    rule.addCommand("c");
    {
        const CapturedOutput quiet(stdout);
        keepingContext.runCommands(rule, "out");
    }
    EXPECT_EQ(platform.started.back(), "c ");
    EXPECT_EQ(platform.sweeps, 2);
}

TEST_F(CommandRunnerTest, RunsNothingAfterAnEarlierFailure) {
    platform.exitCodes["a "] = 4;
    run({"a"});
    run({"b"});
    EXPECT_EQ(platform.started, Lines{"a "});
    EXPECT_EQ(output, "a \n");
    EXPECT_EQ(status(), 4);
}

TEST_F(CommandRunnerTest, SpecialMacrosInCommands) {
    run({"link /out:$< $@ $*.map $&"});
    EXPECT_EQ(platform.started, Lines{"link /out:out.exe in.obj out.map $& "});
}

TEST_F(CommandRunnerTest, InlineFileIsWrittenBeforeItsCommandRuns) {
    std::string seen;
    readInlineFileAt("lib", 0, seen);
    run({"lib @<<", "a.obj", "", "  -@b.obj $<", "<<", "echo done"});
    EXPECT_EQ(seen, "a.obj\n\n  -@b.obj out.exe\n");
    EXPECT_EQ(platform.started, (Lines{"lib @" + inlineName(0) + " ", "echo done "}));
    EXPECT_EQ(output, "lib @" + inlineName(0) + " \necho done \n");
    EXPECT_EQ(platform.sweeps, 2);
}

TEST_F(CommandRunnerTest, OneCharacterTerminatorCutsItsLine) {
    std::string seen;
    readInlineFileAt("copy", 0, seen);
    run({"copy <<END x", "one", "the End is near", "more"});
    EXPECT_EQ(seen, "one\nthe \n");
    EXPECT_EQ(platform.started, (Lines{"copy " + inlineName(0) + " ", "more "}));
}

TEST_F(CommandRunnerTest, TerminatorAtLineStartWritesNothingMore) {
    std::string seen;
    readInlineFileAt("cat", 0, seen);
    run({"@cat << ", "x", "<<rest"});
    EXPECT_EQ(seen, "x\n");
    EXPECT_EQ(output, "");
    EXPECT_EQ(platform.started, Lines{"cat " + inlineName(0) + " "});
}

// An inline file goes right after its command, so the next one takes its
// number again; with -k each stays and takes a number of its own.
TEST_F(CommandRunnerTest, InlineFilesGoAfterTheirCommandsUnlessKept) {
    run({"a <<", "1", "<<", "b <<", "2", "<<"});
    EXPECT_EQ(platform.started, (Lines{"a " + inlineName(0) + " ", "b " + inlineName(0) + " "}));
    EXPECT_FALSE(std::filesystem::exists(inlineName(0)));
    platform.started.clear();
    SequentialExecutor keeping(files, true);
    Walk keepingContext(rules, files, keeping, WalkPolicy(), diagnostics);
    TargetRule rule("out.exe");
    for (const char* line : {"a <<", "1", "<<", "b <<", "2", "<<"}) {
        rule.addCommand(line);
    }
    {
        const CapturedOutput quiet(stdout);
        keepingContext.runCommands(rule, "out.exe");
    }
    EXPECT_EQ(platform.started, (Lines{"a " + inlineName(0) + " ", "b " + inlineName(1) + " "}));
    EXPECT_EQ(TempDirectory::read(inlineName(1)), "2\n");
}

TEST_F(CommandRunnerTest, InlineFileThatCannotBeCreated) {
    platform.temporaryDirectory = directory.prefix() + "missing/";
    run({"lib <<", "a", "<<", "echo after"});
    EXPECT_EQ(output, "Error (tarvo): Unable to create the inline file " + directory.prefix() +
                          "missing/tarvo0.$$$\n");
    EXPECT_EQ(status(), 1);
    EXPECT_TRUE(platform.started.empty());
}

TEST_F(CommandRunnerTest, LinesEndingInsideAnInlineFile) {
    run({"echo first", "lib <<!", "a.obj"}, "app");
    EXPECT_EQ(platform.started, Lines{"echo first "});
    EXPECT_EQ(output, "echo first \nError (tarvo): Inline file of app not terminated in the "
                      "command lib <<!\n");
    EXPECT_EQ(status(), 1);
    EXPECT_FALSE(std::filesystem::exists(inlineName(0)));
}

TEST_F(CommandRunnerTest, InferenceRuleSpecials) {
    InferenceRule rule(".c", ".obj");
    rule.addCommand("cl -c $< -Fo$*.obj -Fd$&.pdb $@");
    runRule(rule, "obj\\main.obj");
    EXPECT_EQ(platform.started, Lines{"cl -c obj\\main.c -Foobj\\main.obj -Fdmain.pdb $@ "});
}

TEST_F(CommandRunnerTest, LongLinesHaveNoLimitOfTheirOwn) {
    // Beyond any buffer of the tool's, within what Windows takes of a program
    // it finds (and cmd.exe is one).
    const std::string word(16200, 'w');
    run({"cmd " + word + " " + word});
    EXPECT_EQ(platform.started, Lines{"cmd " + word + " " + word + " "});
}

} // namespace
