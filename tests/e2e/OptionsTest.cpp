#include "e2e/E2eHarness.h"
#include "rules/depfiles/JsonReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

using e2e::kBanner;
using e2e::kBaseTime;
using e2e::Sandbox;

namespace {

using Names = std::vector<std::string>;

struct OptionCase {
    const char* name;
    std::string makefile;
    std::vector<std::string> arguments;
    std::string output; // after the banner, unless `noBanner`
    std::string errors;
    int status;
    Names filesAfter = {}; // the sandbox's names afterwards; empty: not checked
    bool noBanner = false;
};

void PrintTo(const OptionCase& c, std::ostream* out) {
    *out << c.name;
}

class Options : public ::testing::TestWithParam<OptionCase> {};

TEST_P(Options, OutputErrorsAndStatus) {
    const OptionCase& c = GetParam();
    Sandbox box;
    box.write("tarvo", c.makefile);
    box.write("in.txt", "in\n");
    box.setTime("in.txt", kBaseTime);
    const e2e::Result outcome = box.runKeepingErrors(c.arguments);
    EXPECT_EQ(outcome.output, (c.noBanner ? std::string() : std::string(kBanner)) + c.output);
    EXPECT_EQ(outcome.errors, c.errors);
    EXPECT_EQ(outcome.status, c.status);
    if (!c.filesAfter.empty()) {
        EXPECT_EQ(box.list(), c.filesAfter);
    }
}

const char kChain[] =
    "all: out.txt\n\t@echo done\n\n"
    "out.txt: in.txt\n\tcp in.txt out.txt\n\t-@cat <<END\nline 1\n\n  line 3\nEND\n";

const OptionCase kOptionCases[] = {
    {"IgnoredOptionsAreNoted",
     "all:\n\t@echo hi\n",
     {"-x", "/nologo", "-", "-n"},
     "hi\n",
     "tarvo: option -x ignored\ntarvo: option /nologo ignored\ntarvo: option - ignored\n"
     "tarvo: option -n ignored (for a dry run, use --dry-run)\n",
     0},
    {"UnknownLongOptionBuildsNothing",
     "all:\n\t@echo hi\n",
     {"--dryrun"},
     "Error (tarvo): Unknown option --dryrun (did you mean --dry-run?)\n",
     "",
     1},
    {"UnknownLongOptionSwappedLetters",
     "all:\n\t@echo hi\n",
     {"--explian", "--nonsense"},
     "Error (tarvo): Unknown option --explian (did you mean --explain?)\n",
     "",
     1},
    {"UnknownLongOptionNearNothing",
     "all:\n\t@echo hi\n",
     {"--nonsense"},
     "Error (tarvo): Unknown option --nonsense\n",
     "",
     1},
    // What cannot be made is said on standard error; output and status stay.
    {"DependencyWithoutFileOrRule",
     "app: main.o in.txt\n\t@echo link\n\ntest: main.o in.txt\n\t@echo test\n",
     {"app", "test"},
     "link\ntest\n",
     "tarvo: main.o: no file and no rule to make it (needed by app)\n",
     0},
    {"DryRunDoesNotKnowWhatItsCommandsWouldWrite",
     "all: sync copy.txt\n\t@echo all\n\nsync:\n\tcp in.txt copy.txt\n",
     {"--dry-run"},
     "cp in.txt copy.txt \necho all \n",
     "",
     0},
    {"InferenceSourceWithoutFileOrRule",
     ".c.o:\n\t@echo cc\n",
     {"lib/x.o"},
     "",
     "tarvo: lib/x.o: no lib/x.c and no rule to make it\n",
     0},
    {"SecondInferenceRuleStandsIn",
     ".cpp.o:\n\t@echo c++ $<\n\n.txt.o:\n\t@echo cc $<\n\n.y.o:\n\t@echo yacc $<\n",
     {"in.o", "x.o"},
     "cc in.txt\n",
     "tarvo: in.o: still missing after its commands ran\n"
     "tarvo: x.o: no x.txt, x.cpp or x.y and no rule to make it\n",
     0},
    {"UpToDateAndExistingTargetWithoutSource",
     ".c.txt:\n\t@echo cc\n\nout: in.txt\n\t@echo out\n",
     {"in.txt", "in.txt"},
     "",
     "tarvo: in.txt is up to date\ntarvo: in.txt is up to date\n",
     0},
    {"RuleLineWithoutTheEmptyLineBefore",
     "all:\n\t@echo a\n\nother:\n\t@echo o\nclean:\n\techo c:\\x y\n",
     {"all"},
     "a\n",
     "tarvo: tarvo, line 6: \"clean:\" is taken as a command of the rule above; a rule's commands "
     "end at an empty line\n",
     0},
    {"AutomaticVariablesOfOtherTools",
     ".txt.o:\n\t@echo $@ $^ $(@F) > in.o\n",
     {"in.o"},
     "",
     "tarvo: tarvo, line 2: $(@F) names no macro and expands to nothing; the special macros of "
     "commands are $@, $<, $* and $&\n"
     "tarvo: tarvo, line 2: $@ means nothing in the commands of an inference rule and reaches the "
     "shell as it is; did you mean $*.o (the target)?\n"
     "tarvo: tarvo, line 2: $^ means nothing in the commands of an inference rule and reaches the "
     "shell as it is; did you mean $< (the source)?\n",
     0},
    {"HashInAMacroValue",
     "CC = cc # the compiler\nall:\n\t@echo $(CC)\n",
     {},
     "cc\n",
     "tarvo: tarvo, line 1: the value of CC holds \"# the compiler\": a comment begins only in the "
     "first column, so the \"#\" and what follows are part of the value\n",
     0},
    {"StrictFailsTheRunAfterTheBuild",
     "CC = cc # the compiler\nall: out\n\t@echo all\n\nout:\n\t@echo out\n",
     {"--strict"},
     "out\nall\n",
     "tarvo: tarvo, line 1: the value of CC holds \"# the compiler\": a comment begins only in the "
     "first column, so the \"#\" and what follows are part of the value\n"
     "tarvo: 1 warning, and --strict makes them fail the run\n",
     1},
    {"StrictWithoutWarnings", "all:\n\t@echo all\n", {"--strict"}, "all\n", "", 0},
    {"ByteOrderMarkBeforeAComment", "\xef\xbb\xbf# comment\nall:\n\t@echo hi\n", {}, "hi\n", "", 0},
    {"ByteOrderMarkBeforeADefinition",
     "\xef\xbb\xbf"
     "CC = cl\nall:\n\t@echo $(CC)\n",
     {},
     "cl\n",
     "",
     0},
    {"FailedCommandIsNoted",
     "out:\n\t-false\n\tsh -c \"exit 3\"\n",
     {},
     "false \nsh -c \"exit 3\" \n",
     "tarvo: out: command failed with status 3\n",
     3},
    {"DryRunPrintsEveryEchoAndRunsNothing",
     kChain,
     {"--dry-run"},
     "cp in.txt out.txt \ncat tarvo0.$$$ \n    line 1\n\n    line 3\necho done \n",
     "",
     0,
     {"in.txt", "tarvo"}},
    {"JobCountZero", "all:\n", {"-j0"}, "Error (tarvo): Invalid option -j0\n", "", 1},
    {"JobCountNotANumber", "all:\n", {"/jx"}, "Error (tarvo): Invalid option /jx\n", "", 1},
    {"LongJobCountZero", "all:\n", {"--jobs=0"}, "Error (tarvo): Invalid option --jobs=0\n", "", 1},
    {"MissingDirectory",
     "all:\n",
     {"--directory=nowhere"},
     "Error (tarvo): Unable to change to the directory nowhere: No such file or directory\n",
     "",
     1},
    {"Graph",
     "app: main.o lib.o\n\tld\n\nmain.o: in.txt\n\tcc\n\n.c.o:\n\tcc\n\nloop: app loop\n",
     {"--graph", "loop"},
     "digraph tarvo {\n    node [shape=box];\n"
     "    n0 [label=\"loop\", style=\"filled,dashed\"];\n"
     "    n1 [label=\"app\", style=\"filled,dashed\"];\n"
     "    n2 [label=\"main.o\", style=\"filled,dashed\"];\n"
     "    n3 [label=\"in.txt\"];\n"
     "    n4 [label=\"lib.o\", style=\"dashed\"];\n"
     "    n5 [label=\"lib.c\", style=\"dashed\"];\n"
     "    n0 -> n1;\n    n1 -> n2;\n    n2 -> n3;\n    n1 -> n4;\n"
     "    n4 -> n5 [label=\".c.o\"];\n    n0 -> n0;\n}\n",
     "",
     0,
     {"in.txt", "tarvo"},
     true},
};

INSTANTIATE_TEST_SUITE_P(Extensions, Options, ::testing::ValuesIn(kOptionCases),
                         [](const auto& info) { return std::string(info.param.name); });

// GNU make's habits, said where they are written; output and status stay.
const OptionCase kHabitCases[] = {
    {"AutomaticVariablesInAnyCommand",
     "app: in.txt\n\t@echo \"$^ $+ $| $? $^\"\n\t@true; echo $? '$^'\n\t@echo '$$f' '$${x}' "
     "'$$$$'\n",
     {"app"},
     "$^ $+ $| 0 $^\n0 $^\n$$f $${x} $$$$\n",
     "tarvo: tarvo, line 2: $^ means nothing in the commands of an explicit rule and reaches the "
     "shell as it is; did you mean $@ (the dependencies, without their directories)?\n"
     "tarvo: tarvo, line 2: $+ means nothing in the commands of an explicit rule and reaches the "
     "shell as it is; did you mean $@ (the dependencies, without their directories)?\n"
     "tarvo: tarvo, line 2: $| means nothing in the commands of an explicit rule and reaches the "
     "shell as it is; this dialect has no order-only dependencies\n"
     "tarvo: tarvo, line 2: $? means nothing in the commands of an explicit rule and reaches the "
     "shell as it is; did you mean $@ (all the dependencies, without their directories: none "
     "lists only the newer ones)?\n"
     "tarvo: tarvo, line 4: $$f reaches the shell as it is, and there $$ is its process number: "
     "a $ needs no doubling here, so write $f\n"
     "tarvo: tarvo, line 4: $${x} reaches the shell as it is, and there $$ is its process "
     "number: a $ needs no doubling here, so write ${x}\n",
     0},
    {"AutomaticVariableReferences",
     "app: in.txt\n\t@echo x $(^F) $(+D)\n\n.txt.o:\n\t@echo $(?)\n",
     {"app"},
     "x\n",
     "tarvo: tarvo, line 2: $(^F) names no macro and expands to nothing; did you mean $@ (the "
     "dependencies, without their directories)?\n"
     "tarvo: tarvo, line 2: $(+D) names no macro and expands to nothing; no special macro gives "
     "the directories of the dependencies\n"
     "tarvo: tarvo, line 5: $(?) names no macro and expands to nothing; did you mean $< (the "
     "source)?\n",
     0},
    {"PatternRules",
     "%.o: %.c\n\t@echo cc\n\nx.o y.o: %.o: %.c\n\t@echo cc\n\nobj/%.o: src/%.c\n\t@echo cc\n\n"
     "all:\n\t@echo all\n",
     {"all"},
     "all\n",
     "tarvo: tarvo, line 1: \"%.o: %.c\" is GNU make's pattern rule, which this dialect lacks; "
     "write the inference rule .c.o:\n"
     "tarvo: tarvo, line 4: \"%.o: %.c\" is GNU make's pattern rule, which this dialect lacks; "
     "write the inference rule .c.o:\n"
     "tarvo: tarvo, line 7: \"obj/%.o: src/%.c\" is GNU make's pattern rule, which this dialect "
     "lacks; the nearest is the inference rule .c.o:, which makes name.o from name.c in the same "
     "directory\n",
     0},
    {"AssignmentsCountedByStrict",
     "CFLAGS := -O2\nLIBS += -lm\n\nall:\n\t@echo all\n",
     {"--strict", "all"},
     "all\n",
     "tarvo: tarvo, line 1: \"CFLAGS :=\" is GNU make's immediate assignment; = is this "
     "dialect's only one, and it too expands the value where it stands: write CFLAGS = -O2\n"
     "tarvo: tarvo, line 2: \"LIBS +=\" is GNU make's appending assignment; = is this dialect's "
     "only one: write LIBS = $(LIBS) -lm\n"
     "tarvo: 2 warnings, and --strict makes them fail the run\n",
     1},
    {"AssignmentsThatAreSyntaxErrors",
     "CC ?= cc\nFILES != ls\n",
     {},
     "Error (tarvo):  Syntax error in tarvo, line 1",
     "tarvo: tarvo, line 1: \"CC ?=\" is GNU make's conditional assignment; = is this dialect's "
     "only one: write CC = cc between !ifndef CC and !endif\n"
     "tarvo: tarvo, line 2: \"FILES !=\" is GNU make's shell assignment; = is this dialect's only "
     "one, and no command runs while the makefile is read: give FILES on the command line "
     "(FILES=value) or write its value out\n",
     1},
    {"DirectiveBeforeTheSyntaxError",
     "ifeq ($(OS),Windows_NT)\nX = 1\nendif\n",
     {},
     "Error (tarvo):  Syntax error in tarvo, line 1",
     "tarvo: tarvo, line 1: ifeq is a GNU make directive; here directives begin with \"!\": "
     "write !if a == b\n",
     1},
    {"DirectivesAmongCommands",
     "all:\n\t@echo all\nifdef DEBUG\n\texport X=1\n-include $(DEPS)\n",
     {"--dry-run"},
     "echo all \nifdef DEBUG \nexport X=1 \ninclude \n",
     "tarvo: tarvo, line 3: ifdef is a GNU make directive; here directives begin with \"!\": "
     "write !ifdef NAME\n"
     "tarvo: tarvo, line 5: -include is a GNU make directive; here directives begin with \"!\": "
     "write !include \"file\", which a missing file stops; for the compiler's dependency files "
     "set TARVO_DEPFILE\n",
     0},
    {"Functions",
     "SRCS = a.c b.c\nOBJS = $(patsubst %.c,%.o,$(SRCS)) $(wildcard *.c) $(SRCS:%.c=%.o)\n"
     "all:\n\t@echo [$(OBJS)] $(shell date)\n\n!ifdef GNU\nX = $(shell date)\n!endif\n",
     {},
     "[a.c b.c]\n",
     "tarvo: tarvo, line 2: $(patsubst %.c,%.o,$(SRCS)) is GNU make's patsubst function, which "
     "this dialect lacks: it names no macro and expands to nothing; write $(SRCS:.c=.o)\n"
     "tarvo: tarvo, line 2: $(wildcard *.c) is GNU make's wildcard function, which this dialect "
     "lacks: it names no macro and expands to nothing; list the files by name\n"
     "tarvo: tarvo, line 2: $(SRCS:%.c=%.o): GNU make's % patterns mean nothing here, so "
     "\"%.c\" is searched for as it is; write $(SRCS:.c=.o)\n"
     "tarvo: tarvo, line 4: $(shell date) is GNU make's shell function, which this dialect "
     "lacks: it names no macro and expands to nothing; no command runs while the makefile is "
     "read: give the value on the command line (NAME=value) or in the environment\n",
     0},
    {"UndefinedMacroMakesAPrefix",
     "Q = @\nall:\n\t$(Q)echo quiet\n\t$(CCWRAP) $(Q)echo wrapped\n\t$(LINK) @echo linked\n",
     {},
     "quiet\nwrapped\nlinked\n",
     "tarvo: tarvo, line 5: $(LINK) names no macro, so the command begins with \"@echo\", whose "
     "\"@\" is taken as a prefix (not echoed): it runs as \"echo linked\"\n",
     0},
    {"KeepTemporariesIsNotKeepGoing",
     "all:\n\tfalse\n",
     {"-k"},
     "false \n",
     "tarvo: all: command failed with status 1\n"
     "tarvo: -k keeps the temporary files; to go on after a failed command, as GNU make's -k "
     "does, use --keep-going\n",
     1},
    {"EveryLongOptionIsSuggested",
     "all:\n",
     {"--keepgoing"},
     "Error (tarvo): Unknown option --keepgoing (did you mean --keep-going?)\n",
     "",
     1},
    {"ConditionWordSplitWhereItMatters",
     "!if \"x64-Release\" == \"x64-Release\"\nCFG = whole\n!else\nCFG = split\n!endif\n"
     "!if \"$(CXX)\" == \"cl\"\n!endif\nall:\n\t@echo $(CFG)\n",
     {"CXX=c++"},
     "split\n",
     "tarvo: tarvo, line 1: the word \"x64-Release\" is split at \"-\" into \"x64, - and "
     "Release\": a condition's words end at blanks and punctuation, quotation marks or not, so "
     "the condition is false where whole words would make it true; $(NAME:-=_) makes one word of "
     "such a value\n",
     0},
};

INSTANTIATE_TEST_SUITE_P(GnuMakeHabits, Options, ::testing::ValuesIn(kHabitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DryRun, EchoesWhatARealRunEchoes) {
    const std::string makefile = "app: a.o b.o\n\tcat a.o b.o > app\n\n"
                                 ".c.o:\n\tcp $< $*.o\n\na.c:\n\ttouch a.c\n";
    Sandbox dry;
    Sandbox real;
    for (const Sandbox* box : {&dry, &real}) {
        box->write("tarvo", makefile);
        box->write("b.c", "b\n");
        box->write("b.o", "b\n");
        box->setTime("b.c", kBaseTime);
        box->setTime("b.o", kBaseTime + 60);
    }
    const e2e::Result dryRun = dry.run({"--dry-run"});
    EXPECT_EQ(dryRun.output,
              std::string(kBanner) + "touch a.c \ncp a.c a.o \ncat a.o b.o > app \n");
    EXPECT_EQ(dryRun.status, 0);
    EXPECT_EQ(dry.list(), (Names{"b.c", "b.o", "tarvo"}));
    const e2e::Result realRun = real.run({});
    EXPECT_EQ(realRun.output, dryRun.output);
    EXPECT_EQ(realRun.status, 0);
}

TEST(Directory, RunsEverythingThere) {
    Sandbox box;
    box.makeDirectory("sub");
    box.write("sub/tarvo", "out.txt:\n\techo made > out.txt\n");
    const e2e::Result result = box.run({"--directory", "sub"});
    EXPECT_EQ(result.output, std::string(kBanner) + "echo made > out.txt \n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(box.read("sub/out.txt"), "made\n");
    EXPECT_EQ(box.list("sub"), (Names{"out.txt", "tarvo"}));
}

} // namespace

namespace {

struct ExplainCase {
    const char* name;
    std::string makefile;
    std::vector<std::pair<std::string, std::time_t>> files; // name and time
    std::string errors;
};

TEST(Explain, SaysWhyEachTargetIsMade) {
    const std::time_t base = kBaseTime;
    const ExplainCase cases[] = {
        {"Missing",
         "out: in\n\t@echo x\n",
         {{"in", base}},
         "tarvo: out: the target does not exist\n"},
        {"Newer",
         "out: in\n\t@echo x\n",
         {{"in", base}, {"out", base - 60}},
         "tarvo: out: dependency in (2024-01-01 00:00:00.000000000) is newer than the target "
         "(2023-12-31 23:59:00.000000000)\n"},
        {"MadeAndNoDependencies",
         "all: gen\n\t@echo x\n\ngen:\n\t@echo y\n",
         {{"all", base}},
         "tarvo: gen: the rule has no dependencies\ntarvo: all: dependency gen has just been "
         "made\n"},
        {"ExactRuleHidesInference",
         "x.o: \n\n.c.o:\n\t@echo cc\n",
         {{"x.c", base}, {"x.o", base - 1}},
         "tarvo: x.o: the rule has no dependencies\n"},
        {"InferenceSource",
         ".c.o:\n\t@echo cc\n",
         {{"x.c", base}, {"x.o", base - 1}},
         "tarvo: x.o: source x.c (2024-01-01 00:00:00.000000000) is newer than the target "
         "(2023-12-31 23:59:59.000000000)\n"},
        {"InferenceSourceMade",
         ".c.o:\n\t@echo cc\n\nx.c:\n\t@echo gen\n",
         {{"x.o", base}},
         "tarvo: x.c: the rule has no dependencies\ntarvo: x.o: source x.c has just been made\n"},
    };
    for (const ExplainCase& c : cases) {
        for (const char* mode : {"--explain", "--dry-run"}) {
            Sandbox box;
            box.write("tarvo", c.makefile);
            for (const auto& [name, time] : c.files) {
                box.write(name, "");
                box.setTime(name, time);
            }
            std::vector<std::string> arguments = {"--explain"};
            if (std::string(mode) == "--dry-run") {
                arguments.push_back(mode);
            }
            if (std::string(c.name).find("Inference") != std::string::npos) {
                arguments.push_back("x.o");
            }
            const e2e::Result outcome = box.runKeepingErrors(arguments);
            EXPECT_EQ(outcome.errors, c.errors) << c.name << " " << mode;
            EXPECT_EQ(outcome.status, 0) << c.name << " " << mode;
        }
    }
}

} // namespace

namespace {

// Half the targets wait for one that fails: the other half is made all the same.
TEST(KeepGoing, MakesWhatDoesNotWaitForTheFailure) {
    std::string makefile = "all: a1 b1 a2 b2\n\nbad:\n\tsh -c \"exit 3\"\n\n"
                           "mid: bad\n\ttouch mid\n\n";
    for (const char* name : {"a1", "a2"}) {
        makefile += std::string(name) + ": mid\n\ttouch " + name + "\n\n";
    }
    for (const char* name : {"b1", "b2"}) {
        makefile += std::string(name) + ":\n\ttouch " + name + "\n\n";
    }
    for (const char* jobs : {"-j1", "-j2"}) {
        Sandbox box;
        box.write("tarvo", makefile);
        const e2e::Result result = box.runKeepingErrors({"--keep-going", jobs});
        EXPECT_EQ(result.status, 3) << jobs;
        EXPECT_EQ(box.list(), (Names{"b1", "b2", "tarvo"})) << jobs;
        EXPECT_EQ(result.errors, "tarvo: bad: command failed with status 3\n"
                                 "tarvo: these targets failed: bad\n"
                                 "tarvo: these targets were skipped, as they depend on a failed "
                                 "one: a1 a2 all mid\n")
            << jobs;
        if (std::string(jobs) == "-j1") {
            EXPECT_EQ(result.output,
                      std::string(kBanner) + "sh -c \"exit 3\" \ntouch b1 \ntouch b2 \n");
        }
    }
    // Without the option the first failure ends the build.
    Sandbox box;
    box.write("tarvo", makefile);
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, std::string(kBanner) + "sh -c \"exit 3\" \n");
    EXPECT_EQ(result.status, 3);
}

// The status is that of the failure that a run of one job meets first, though
// side by side b fails first: a waits until b's block is out.
TEST(KeepGoing, StatusIsTheFirstFailureInTheOrderOfOneJob) {
    for (const char* jobs : {"1", "2", "3", "8"}) {
        Sandbox box;
        box.write("tarvo", "all: a b\n\na: tarvo\n\t@sh late.sh $(JOBS)\n\n"
                           "b: tarvo\n\tsh -c \"exit 4\"\n");
        box.write("late.sh", "i=0\nwhile [ $1 != 1 ] && ! grep -q 'exit 4' log && [ $i -lt 1000 ]; "
                             "do sleep 0.01; i=`expr $i + 1`; done\nexit 3\n");
        e2e::RunOptions options;
        options.standardOutput = box.pathOf("log");
        options.keepErrors = true;
        const e2e::Result result =
            box.run({"--keep-going", std::string("-j") + jobs, std::string("JOBS=") + jobs},
                    Sandbox::defaultEnvironment(), options);
        EXPECT_EQ(result.status, 3) << jobs;
        EXPECT_NE(result.errors.find("tarvo: these targets failed: a b\n"), std::string::npos)
            << jobs << result.errors;
    }
}

// Odd names stay valid JSON; the up-to-date object is listed too, and the
// link, which names no source, is not.
TEST(CompilationDatabase, ListsEveryCompileOfTheTargets) {
    const std::string odd = "we\"ird\\n\xc3\xa9.c";
    Sandbox box;
    box.write("tarvo", "app: main.o odd.o\n\tcc -o app main.o odd.o\n\n"
                       ".c.o:\n\t@cc -Wall -c $<\n\n"
                       "odd.o: " +
                           odd + " main.h\n\t-cc -c " + odd + " -o odd.o\n");
    box.write("main.c", "");
    box.write("main.o", "");
    box.setTime("main.c", kBaseTime);
    box.setTime("main.o", kBaseTime + 60);
    const e2e::Result result = box.run({"--compdb"});
    const std::string directory = "    \"directory\": \"" + box.path() + "\",\n";
    EXPECT_EQ(result.output, "[\n  {\n" + directory +
                                 "    \"file\": \"main.c\",\n"
                                 "    \"command\": \"cc -Wall -c main.c\",\n"
                                 "    \"output\": \"main.o\"\n  },\n  {\n" +
                                 directory +
                                 "    \"file\": \"we\\\"ird\\\\n\xc3\xa9.c\",\n"
                                 "    \"command\": \"cc -c we\\\"ird\\\\n\xc3\xa9.c -o odd.o\",\n"
                                 "    \"output\": \"odd.o\"\n  }\n]\n");
    EXPECT_EQ(result.status, 0);
    JsonValue database;
    std::string reason;
    ASSERT_TRUE(JsonReader::read(result.output, database, reason)) << reason;
    ASSERT_EQ(database.items.size(), 2u);
    EXPECT_EQ(database.items[1].member("file")->text, odd);
    EXPECT_EQ(box.list(), (Names{"main.c", "main.o", "tarvo"}));
}

} // namespace
