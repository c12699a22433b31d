#include "e2e/E2eHarness.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using e2e::kBanner;
using e2e::kBaseTime;
using e2e::Sandbox;

namespace {

using Names = std::vector<std::string>;

// A step of 2^26 x 100 ns since 1601 (about 6.7 s) of a time in seconds since
// 1970: times within one step must still compare by their full value.
std::int64_t coarseStep(std::time_t seconds) {
    return ((static_cast<std::int64_t>(seconds) + 11644473600LL) * 10000000LL) >> 26;
}

// The first whole second at or after `from` that begins a new coarse step.
std::time_t stepStart(std::time_t from) {
    while (coarseStep(from) == coarseStep(from - 1)) {
        ++from;
    }
    return from;
}

std::string banner(const std::string& rest) {
    return kBanner + rest;
}

const char kCopyRule[] = "out.txt: in.txt\n\tcp in.txt out.txt\n";

// A time in seconds and nanoseconds since 1970.
struct Stamp {
    std::time_t seconds;
    long nanoseconds;
};

TEST(Rebuild, WhenTheDependencyIsNewer) {
    const std::time_t start = stepStart(kBaseTime);
    struct Case {
        const char* name;
        Stamp in;
        Stamp out;
    };
    const Case cases[] = {
        {"AMinute", {kBaseTime + 60, 0}, {kBaseTime, 0}},
        {"FiveSecondsInOneCoarseStep", {start + 5, 0}, {start, 0}},
        {"AMicrosecond", {kBaseTime, 1000}, {kBaseTime, 0}},
        {"AcrossASecond", {kBaseTime + 1, 0}, {kBaseTime, 999999000}},
        {"InTheYear2060", {2840140800, 0}, {kBaseTime, 0}},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("tarvo", kCopyRule);
        box.write("in.txt", "new\n");
        box.write("out.txt", "old\n");
        box.setTime("out.txt", c.out.seconds, c.out.nanoseconds);
        box.setTime("in.txt", c.in.seconds, c.in.nanoseconds);
        const e2e::Result result = box.run({});
        EXPECT_EQ(result.output, banner("cp in.txt out.txt \n")) << c.name;
        EXPECT_EQ(result.status, 0) << c.name;
        EXPECT_EQ(box.read("out.txt"), "new\n") << c.name;
    }
}

TEST(Rebuild, WhenTheTargetIsMissing) {
    Sandbox box;
    box.write("tarvo", kCopyRule);
    box.write("in.txt", "new\n");
    EXPECT_EQ(box.run({"out.txt"}).output, banner("cp in.txt out.txt \n"));
    EXPECT_EQ(box.read("out.txt"), "new\n");
}

TEST(Rebuild, NotWhenTheDependencyIsEqualOrOlder) {
    struct Case {
        const char* name;
        Stamp in;
        Stamp out;
    };
    const Case cases[] = {
        {"Equal", {kBaseTime, 0}, {kBaseTime, 0}},
        {"EqualToTheMicrosecond", {kBaseTime, 123456000}, {kBaseTime, 123456000}},
        {"Older", {kBaseTime, 0}, {kBaseTime + 60, 0}},
        {"OlderByAMicrosecond", {kBaseTime, 0}, {kBaseTime, 1000}},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("tarvo", kCopyRule);
        box.write("in.txt", "new\n");
        box.write("out.txt", "old\n");
        box.setTime("in.txt", c.in.seconds, c.in.nanoseconds);
        box.setTime("out.txt", c.out.seconds, c.out.nanoseconds);
        const e2e::Result result = box.run({});
        EXPECT_EQ(result.output, kBanner) << c.name;
        EXPECT_EQ(result.status, 0) << c.name;
        EXPECT_EQ(box.read("out.txt"), "old\n") << c.name;
    }
}

// The rule is found whatever the letter case, but the spellings are two files
// here: one found up to date says nothing about the other.
TEST(Rebuild, EachSpellingOfANameIsDecidedForItself) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::time_t>> files; // besides foo.c
        std::vector<std::string> targets;
        const char* output;
    };
    const Case cases[] = {
        {"OlderSpellingSecond",
         {{"foo.o", kBaseTime}, {"FOO.O", kBaseTime + 120}},
         {"FOO.O", "foo.o"},
         "echo make foo.o \nmake foo.o\n"},
        {"MissingSpellingSecond",
         {{"foo.o", kBaseTime + 120}},
         {"foo.o", "FOO.O"},
         "echo make FOO.O \nmake FOO.O\n"},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("tarvo", "foo.o: foo.c\n\techo make $<\n");
        box.write("foo.c", "");
        box.setTime("foo.c", kBaseTime + 60);
        for (const auto& file : c.files) {
            box.write(file.first, "");
            box.setTime(file.first, file.second);
        }
        const e2e::Result result = box.run(c.targets);
        EXPECT_EQ(result.output, banner(c.output)) << c.name;
        EXPECT_EQ(result.status, 0) << c.name;
    }
}

TEST(Rebuild, NotWhenTheDependencyHasNeitherFileNorRule) {
    Sandbox box;
    box.write("tarvo", "out.txt: nowhere.txt\n\techo never\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, kBanner);
    EXPECT_EQ(result.status, 0);
}

TEST(Rebuild, RemadeDependencyForcesItsDependents) {
    Sandbox box;
    box.write("tarvo", "app: mid other\n\techo link $@\n\n"
                       "mid: src\n\ttouch mid\n\n"
                       "other: src\n\techo other\n");
    for (const char* name : {"app", "mid", "other", "src"}) {
        box.write(name, "");
    }
    box.setTime("src", kBaseTime + 60);
    box.setTime("mid", kBaseTime);
    box.setTime("other", kBaseTime + 120);
    box.setTime("app", kBaseTime + 180); // newer than every dependency
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, banner("touch mid \necho link mid other \nlink mid other\n"));
    EXPECT_GT(box.modificationTime("mid"), kBaseTime + 60);
}

TEST(Rebuild, RuleWithoutDependenciesRunsEachTimeItIsReached) {
    Sandbox box;
    box.write("tarvo", "all: stamp x stamp\n\n"
                       "stamp:\n\techo stamp\n");
    box.write("all", "");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, banner("echo stamp \nstamp\necho stamp \nstamp\n"));
}

TEST(Rebuild, ATargetReachedAgainAfterACommandIsDecidedAgain) {
    // y is up to date when first reached; the rule of "touch" then makes x newer
    // (a fresh modification time), so the second y is remade.
    Sandbox box;
    box.write("tarvo", "all: y touch y\n\techo done\n\n"
                       "y: x\n\techo remake y\n\n"
                       "touch:\n\ttouch x\n");
    box.write("x", "");
    box.write("y", "");
    box.write("all", "");
    box.setTime("x", kBaseTime);
    box.setTime("y", kBaseTime + 60);
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, banner("touch x \necho remake y \nremake y\necho done \ndone\n"));
    EXPECT_EQ(result.status, 0);
}

TEST(Rebuild, InferenceRuleAndSpecialMacros) {
    Sandbox box;
    box.write("tarvo", ".in.out:\n\tcp $< $*.out\n\techo made $& from $<\n\n"
                       "all: sub\\x.out y.out\n\techo $< needs $@ $*\n");
    // sub\x.in does not exist, so sub\x.out is not made; y.out is.
    box.write("y.in", "y\n");
    box.write("y.out", "old\n");
    box.setTime("y.out", kBaseTime);
    box.setTime("y.in", kBaseTime + 60);
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output,
              banner("cp y.in y.out \n"
                     "echo made y from y.in \nmade y from y.in\n"
                     "echo all needs x.out y.out all \nall needs x.out y.out all\n"));
    EXPECT_EQ(box.read("y.out"), "y\n");
}

TEST(Commands, SpecialMacroFormedWhereItsTextMeetsItsNeighbours) {
    Sandbox box;
    box.write("tarvo", "t: @a\n\techo $$@\n\nu: a$\n\techo $@@\n");
    box.write("@a", "");
    box.write("a$", "");
    const e2e::Result result = box.run({"t", "u"});
    EXPECT_EQ(result.output, banner("echo @aa \n@aa\necho aa$ \naa$\n"));
    EXPECT_EQ(result.status, 0);
}

TEST(Commands, PrefixesAndExitStatus) {
    Sandbox box;
    box.write("tarvo", "all:\n"
                       "\t@echo quiet\n"
                       "\t-false\n"
                       "\techo   spaced    out\n"
                       "\texit 3\n"
                       "\techo never\n\n"
                       "later:\n\techo never either\n");
    const e2e::Result result = box.run({"all", "later"});
    EXPECT_EQ(result.output, banner("quiet\n"
                                    "false \n"
                                    "echo spaced out \nspaced out\n"
                                    "exit 3 \n"));
    EXPECT_EQ(result.status, 3);
}

TEST(Commands, FailingCommandStopsLaterRulesButNotTheWalk) {
    Sandbox box;
    box.write("tarvo", "all: a b\n\techo all\n\n"
                       "a:\n\tsh -c \"exit 7\"\n\n"
                       "b:\n\techo b\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, banner("sh -c \"exit 7\" \n"));
    EXPECT_EQ(result.status, 7);
}

// A failed command that changed its target must not leave it up to date: the
// file stays, with the time it had before (a target that was missing gets
// the oldest time there is), and the next run makes it again. One job and
// several alike.
TEST(Commands, FailedCommandSetsItsTargetsTimeBack) {
    for (const Names& options : {Names{}, Names{"-j2"}}) {
        for (const std::string target : {"old", "new"}) {
            Sandbox box;
            box.write("tarvo", target + ": in\n\tsh -c \"echo log > " + target + "; exit 3\"\n");
            box.write("in", "");
            box.setTime("in", kBaseTime + 60);
            if (target == "old") {
                box.write("old", "");
                box.setTime("old", kBaseTime, 5000);
            }
            Names arguments = options;
            arguments.push_back(target);
            const std::string made = banner("sh -c \"echo log > " + target + "; exit 3\" \n");
            const std::string what = target + " " + std::to_string(options.size());
            const e2e::Result failed = box.runKeepingErrors(arguments);
            EXPECT_EQ(failed.output, made) << what;
            EXPECT_EQ(failed.errors, "tarvo: " + target +
                                         ": command failed with status 3\ntarvo: " + target +
                                         ": its time is set back, since its commands failed\n")
                << what;
            EXPECT_EQ(failed.status, 3) << what;
            EXPECT_EQ(box.read(target), "log\n") << what;
            if (target == "old") {
                EXPECT_EQ(box.modificationTime("old"), kBaseTime) << what;
            } else {
                EXPECT_LT(box.modificationTime("new"), kBaseTime) << what;
            }
            EXPECT_EQ(box.run(arguments).output, made) << what;
        }
    }
}

TEST(Commands, ShellLinesAndQuotes) {
    Sandbox box;
    box.write("tarvo", "all:\n\techo \"a   b\" > out.txt\n\tcp out.txt copy.txt\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, banner("echo \"a b\" > out.txt \ncp out.txt copy.txt \n"));
    EXPECT_EQ(box.read("copy.txt"), "a b\n");
}

TEST(Errors, NoRuleForATarget) {
    Sandbox box;
    box.write("tarvo", "all:\n\techo all\n");
    const e2e::Result result = box.run({"all", "missing", "all"});
    EXPECT_EQ(result.output, banner("echo all \nall\nError (tarvo):  No rule for missing"));
    EXPECT_EQ(result.status, 1);
}

TEST(Errors, SyntaxError) {
    Sandbox box;
    box.write("build.mk", "# comment\nall:\n\techo all\n\nstray words\n");
    const e2e::Result result = box.run({"-f", "build.mk"});
    EXPECT_EQ(result.output, banner("Error (tarvo):  Syntax error in build.mk, line 5"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), Names{"build.mk"});
}

TEST(Errors, PassTwoReadsTheRecordsAfterPassOneFailed) {
    Sandbox box;
    box.write("tarvo", "stray\n!error stop\nnever: x\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, banner("Error (tarvo): Error Directive: stop\n"
                                    "Error (tarvo):  Syntax error in tarvo, line 1"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), Names{"tarvo"});
}

// Record tags hold file names as they are; "," and "|" in them must not split
// a tag in the wrong place.
TEST(Records, FileNamesWithCommaAndBar) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string rules; // of v2,0|x/rules.mak
        std::string output;
        int status;
    };
    const Case cases[] = {
        {"Include", {}, "all:\n\techo built\n", "echo built \nbuilt\n", 0},
        {"IncludeWithSyntaxError",
         {},
         "all:\n\techo built\n\nstray\n",
         "Error (tarvo):  Syntax error in v2,0|x/rules.mak, line 4",
         1},
        {"Makefile",
         {"-f", "v2,0|x/rules.mak"},
         "x:\n\nstray\n",
         "Error (tarvo):  Syntax error in v2,0|x/rules.mak, line 3",
         1},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("tarvo", "!include \"v2,0|x/rules.mak\"\n");
        box.makeDirectory("v2,0|x");
        box.write("v2,0|x/rules.mak", c.rules);
        const e2e::Result result = box.run(c.arguments);
        EXPECT_EQ(result.output, banner(c.output)) << c.name;
        EXPECT_EQ(result.status, c.status) << c.name;
    }
}

TEST(Errors, DependencyCycle) {
    Sandbox box;
    box.write("tarvo", "all: a\n\techo all\n\na: b\n\techo a\n\nb: A\n\techo b\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, banner("Error (tarvo): Dependency cycle a -> b -> A\n"));
    EXPECT_EQ(result.status, 1);
}

TEST(Errors, InferenceRuleFromItsOwnExtension) {
    Sandbox box;
    box.write("tarvo", ".c.c:\n\techo never\n");
    box.write("x.c", "");
    const e2e::Result result = box.run({"x.c"});
    EXPECT_EQ(result.output, banner("Error (tarvo): Dependency cycle x.c -> x.c\n"));
    EXPECT_EQ(result.status, 1);
}

TEST(DefaultTarget, FirstTargetOfTheFirstRuleLine) {
    Sandbox box;
    box.write("tarvo", ".c.o:\n\techo inference\n\n"
                       "second first: \n\techo $<\n\n"
                       "third:\n\techo third\n");
    EXPECT_EQ(box.run({}).output, banner("echo second \nsecond\n"));
    EXPECT_EQ(box.run({"third"}).output, banner("echo third \nthird\n"));
}

TEST(DefaultTarget, DriveLetterBelongsToTheTargetName) {
    Sandbox box;
    box.makeDirectory("c:");
    box.makeDirectory("c:/out");
    box.write("main.o", "");
    box.setTime("main.o", kBaseTime);
    box.write("tarvo", "c:/out/app x: main.o\n\ttouch $<\n");
    const e2e::Result made = box.run({});
    EXPECT_EQ(made.output, banner("touch c:/out/app \n"));
    EXPECT_EQ(made.status, 0);
    EXPECT_EQ(box.list(), (Names{"c:", "main.o", "tarvo"}));
    EXPECT_TRUE(box.exists("c:/out/app"));
    EXPECT_EQ(box.run({"--graph", "c:/out/app"}).output,
              "digraph tarvo {\n    node [shape=box];\n    n0 [label=\"c:/out/app\"];\n"
              "    n1 [label=\"main.o\"];\n    n0 -> n1;\n}\n");
}

TEST(DefaultTarget, NoneWithoutRules) {
    Sandbox box;
    box.write("tarvo", "\n\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, kBanner);
    EXPECT_EQ(result.status, 0);
}

const char kInlineMakefile[] = "all:\n"
                               "\tcat <<\n"
                               "line one\n"
                               "\n"
                               "    $< indented\n"
                               "<<\n"
                               "\t@ls\n";

TEST(InlineFiles, WrittenPassedByNameAndSwept) {
    Sandbox box;
    box.write("tarvo", kInlineMakefile);
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, banner("cat tarvo0.$$$ \nline one\n\nall indented\ntarvo\n"));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(box.list(), Names{"tarvo"});
}

TEST(InlineFiles, KeptWithK) {
    Sandbox box;
    box.write("tarvo", kInlineMakefile);
    EXPECT_EQ(box.run({"-k"}).output,
              banner("cat tarvo0.$$$ \nline one\n\nall indented\ntarvo\ntarvo0.$$$\n"));
    EXPECT_EQ(box.list(), (Names{"tarvo", "tarvo0.$$$"}));
    EXPECT_EQ(box.read("tarvo0.$$$"), "line one\n\nall indented\n");
    // The kept name is taken, so the next run writes tarvo1.$$$ and sweeps both.
    const e2e::Result again = box.run({});
    EXPECT_EQ(again.output, banner("cat tarvo1.$$$ \nline one\n\nall indented\ntarvo\n"));
    EXPECT_EQ(box.list(), Names{"tarvo"});
}

TEST(InlineFiles, OneCharacterTerminator) {
    Sandbox box;
    box.write("tarvo", "all:\n\tcat <<END x\nkept\nthe End\n\techo after\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, banner("cat tarvo0.$$$ \nkept\nthe \necho after \nafter\n"));
}

TEST(InlineFiles, UnterminatedBlockIsAnError) {
    Sandbox box;
    box.write("tarvo", "all:\n\techo before\n\tcat <<!\nline\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output,
              banner("echo before \nbefore\n"
                     "Error (tarvo): Inline file of all not terminated in the command cat <<!\n"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), Names{"tarvo"});
}

TEST(InlineFiles, FileThatCannotBeCreated) {
    Sandbox box;
    box.write("tarvo", "all:\n\tmkdir tarvo0.$$$\n\tcat <<\nx\n<<\n\techo never\n");
    // Every name but tarvo0.$$$ is taken; the intermediate file uses it and
    // frees it, then the first command takes it as a directory that no sweep
    // removes. The inline file then gets the last name, which cannot be opened.
    for (int i = 1; i < 1000; ++i) {
        box.makeDirectory("tarvo" + std::to_string(i) + ".$$$");
    }
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, banner("mkdir tarvo0.$$$ \n"
                                    "Error (tarvo): Unable to create the inline file "
                                    "tarvo999.$$$\n"));
    EXPECT_EQ(result.status, 1);
}

} // namespace
