#include "e2e/E2eHarness.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

using e2e::kBanner;
using e2e::Sandbox;

namespace {

// The tarvo under test as the system names its file: $(MAKE) on POSIX.
std::string tarvoPath() {
    char path[PATH_MAX];
    return realpath(TARVO_BINARY, path) != nullptr ? path : TARVO_BINARY;
}

struct ListingCase {
    const char* name;
    std::string makefile;
    std::vector<std::string> arguments;
    std::string expected; // after the banner
    int status;
};

class Listing : public ::testing::TestWithParam<ListingCase> {};

TEST_P(Listing, PrintsRecordsExactly) {
    const ListingCase& c = GetParam();
    Sandbox box;
    box.write("tarvo", c.makefile);
    std::vector<std::string> arguments = {"-p"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const e2e::Result result = box.run(arguments);
    EXPECT_EQ(result.output, kBanner + c.expected);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"}) << "intermediate file left behind";
}

const ListingCase kListingCases[] = {
    {"Continuations", "CFLAGS = -a \\\n    -b\nx: $(CFLAGS)\n", {}, "tarvo,2|x: -a     -b\n", 0},
    {"ContinuedLinesCountOnce", "a \\\nb \\\nc\nd\n", {}, "tarvo,1|a b c\ntarvo,2|d\n", 0},
    {"EmptyLineEndsContinuation", "a \\\n\nb\n", {}, "tarvo,1|a \ntarvo,2|b\n", 0},
    {"LastLineContinuedIsLost", "a\nb \\\n", {}, "tarvo,1|a\n", 0},
    {"CommentsOnlyInFirstColumn",
     "# gone\n  # kept\nx # kept too\n",
     {},
     "tarvo,2|  # kept\ntarvo,3|x # kept too\n",
     0},
    {"CrLfLineEnds", "A = 1\r\nx: $(A)\r\n\r\n", {}, "tarvo,2|x: 1\ntarvo,3|\n", 0},
    {"TrailingBlanksTrimmedLeadingKept", "  a  \t\n\t\n", {}, "tarvo,1|  a\ntarvo,2|\n", 0},
    {"DefinitionsAreNotWritten", "X = 1 # note\ny: $(X)\n", {}, "tarvo,2|y: 1 # note\n", 0},
    {"ValuesAreExpandedWhenDefined",
     "X = 1\nY = $(X)\nX = 2\nz: $(Y) $(X)\n",
     {},
     "tarvo,4|z: 1 2\n",
     0},
    {"SubstitutionIsCaseSensitiveNameIsNot",
     "SRC = a.c b.c\nx: $(src:.c=.obj) $(SRC:.C=.obj)\n",
     {},
     "tarvo,2|x: a.obj b.obj a.c b.c\n",
     0},
    {"CommandLineMacrosAreLocked", "CC = cl\nx: $(CC)\n", {"CC=gcc"}, "tarvo,2|x: gcc\n", 0},
    {"FirstCommandLineDefinitionWins", "x: $(X)\n", {"X=1", "X=2"}, "tarvo,1|x: 1\n", 0},
    {"EmptyNameMacro", "  = v\nx: $()\n", {}, "tarvo,2|x: v\n", 0},
    {"BuiltInMake", "x: $(MAKE)\n", {}, "tarvo,1|x: " + tarvoPath() + "\n", 0},
    {"UnclosedReference", "X = 1\nabc $(X\n", {}, "tarvo,2|abc 1\n", 0},
    {"NulByteEndsPhysicalLine", std::string("ab\0cd\nef\n", 9), {}, "tarvo,1|ab\ntarvo,2|ef\n", 0},
};

INSTANTIATE_TEST_SUITE_P(PassOne, Listing, ::testing::ValuesIn(kListingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A copy, so that a change of the help text is a change someone meant.
const char kUsage[] = R"usage(Usage: tarvo [options] [NAME=value ...] [targets ...]

Brings the targets (default: the first target of the makefile) up to date,
running the commands of every rule whose target is out of date.

Options begin with "-" or "/" and are told apart by their second character,
letter case ignored; unknown ones are ignored with a note on standard error.
An unknown option that begins with "--" is an error.
  -f NAME, -fNAME   read the makefile NAME (default: tarvo, then tarvo.mak);
                    a name that cannot be opened is tried again with ".mak"
                    appended, unless a "." follows its last backslash
  -k                keep the temporary files (tarvo*.$$$)
  -p                print the preprocessed makefile as "file,line|text"
                    records and build nothing
  -jN, /jN, -j N, --jobs=N, --jobs N
                    run up to N commands at once; -j alone: as many as there
                    are processors; -j1 or no -j: one at a time; more than
                    one: the slots are shared with the commands through a
                    jobserver in MAKEFLAGS, which a run without -j uses
  --jobserver-style=pipe|fifo
                    hand the jobserver on as two inherited pipe descriptors
                    (pipe, the default, which every GNU make reads) or as a
                    named pipe (fifo, for GNU make 4.4 and later)
  --dry-run         print the commands a real run would print, "@" commands
                    and inline files included; run nothing, change no file
  --explain         before each command, say on standard error why its target
                    is out of date
  --graph           print the dependency graph of the targets in Graphviz dot
                    and build nothing
  --keep-going      after a failed command, make every target that does not
                    depend on it; list what failed and what was skipped
  --compdb          print compile_commands.json (every command that compiles
                    a C or C++ source of the targets) and build nothing
  --trace FILE, --trace=FILE
                    write the commands run to FILE as Chrome trace-event
                    JSON, for Perfetto or chrome://tracing
  --progress=yes|no|auto
                    a progress line at the bottom of the terminal behind
                    standard error (auto, the default: when it is one)
  --strict          end with status 1 after any warning (on standard error),
                    once the build has gone as it would have
  --directory=DIR, --directory DIR
                    change to DIR before anything else
  -h, -?, /?, --help
                    print this help and exit
  --version         print the version and exit

NAME=value defines a macro that the makefile cannot change. Every environment
variable is a macro too, its value cut at the first blank, tab or "=".
  MAKE              the command that starts tarvo again
  MAKEFLAGS         from GNU make: n in it asks for --dry-run, k for
                    --keep-going, and a jobserver in it is shared
  KEL_ROOT          the directory whose include subdirectory holds the files
                    of "!include <name>"
  TARVO_DEPFILE     set in the makefile: the dependency file of each target,
                    as gcc -MMD or cl /sourceDependencies write it; the names
                    in it count as further dependencies
  TARVO_LOG         set in the makefile: a file that each command run adds
                    a line of times to; the progress line's time left uses it
  TARVO_ORDER       set to "dependencies" in the makefile: only dependencies
                    and .WAIT order the jobs, not steps without dependencies
  TARVO_RECORD      a file in which tarvo keeps, for each target it made, its
                    command and the content it was made from: a changed
                    command or content rebuilds, a new time alone does not

Exit status: 0 on success; the exit code of a command that failed; 1 for an
error of tarvo's own ("Error (tarvo): ..." on standard output). A run ended
by a signal ends by that signal.
)usage";

std::string versionLine() {
    const std::string commit = TARVO_COMMIT;
    return std::string("tarvo ") + TARVO_VERSION +
           (commit.empty() ? "" : " (commit " + commit + ")") + "\n";
}

struct RequestCase {
    const char* name;
    std::vector<std::string> arguments;
    bool version;
};

class Request : public ::testing::TestWithParam<RequestCase> {};

TEST_P(Request, AnsweredWithoutBannerOrMakefile) {
    const RequestCase& c = GetParam();
    Sandbox box;
    box.write("tarvo", "!error the makefile was read\n");
    const e2e::Result result = box.run(c.arguments);
    EXPECT_EQ(result.output, c.version ? versionLine() : std::string(kUsage));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

const RequestCase kRequestCases[] = {
    {"DoubleDashHelp", {"--help"}, false},
    {"DashH", {"-h"}, false},
    {"SlashCapitalH", {"/H"}, false},
    {"DashHelpWord", {"-help"}, false},
    {"DashQuestionMark", {"-?"}, false},
    {"SlashQuestionMark", {"/?"}, false},
    {"AmongOtherArguments", {"-p", "X=1", "all", "-h"}, false},
    {"HelpBeforeVersion", {"--version", "--help"}, false},
    {"Version", {"--version"}, true},
    {"VersionAmongOtherArguments", {"-k", "all", "--version"}, true},
};

INSTANTIATE_TEST_SUITE_P(Startup, Request, ::testing::ValuesIn(kRequestCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Startup, NameAfterDashFIsNoHelpRequest) {
    Sandbox box;
    const e2e::Result result = box.run({"-f", "-h"});
    EXPECT_EQ(result.output, std::string(kBanner) + "Error (tarvo):  Unable to open file -h.mak");
    EXPECT_EQ(result.status, 1);
}

TEST(Startup, MissingMakefileNamesTheFallback) {
    Sandbox box;
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output,
              std::string(kBanner) + "Error (tarvo):  Unable to open file tarvo.mak");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(box.list().empty());
}

TEST(Startup, MakFallbackAndDashF) {
    Sandbox box;
    box.write("tarvo.mak", "a\n");
    box.write("other", "b\n");
    EXPECT_EQ(box.run({"-p"}).output, std::string(kBanner) + "tarvo.mak,1|a\n");
    EXPECT_EQ(box.run({"-p", "-f", "other"}).output, std::string(kBanner) + "other,1|b\n");
    EXPECT_EQ(box.run({"/P", "/Fother"}).output, std::string(kBanner) + "other,1|b\n");
    EXPECT_EQ(box.run({"-print", "-f"}).output, std::string(kBanner) + "tarvo.mak,1|a\n");
    const e2e::Result missing = box.run({"-p", "-f", "build.mk"});
    EXPECT_EQ(missing.output,
              std::string(kBanner) + "Error (tarvo):  Unable to open file build.mk.mak");
    EXPECT_EQ(missing.status, 1);
    const e2e::Result dashK = box.run({"-p", "-f", "-k"});
    EXPECT_EQ(dashK.output, std::string(kBanner) + "Error (tarvo):  Unable to open file -k.mak");
}

TEST(Startup, EnvironmentMacrosKeepFirstWord) {
    Sandbox box;
    // Said once, where the makefile first uses it; not of a value that the
    // makefile or the command line gave, nor in a branch not taken.
    box.write("tarvo", "!if 0\nx: $(P)\n!endif\nx: $(P) [$(EMPTY)] $(make) $(R) $(Q) $(T)\n"
                       "y: $(p) $(P:A=a)\nR = r\n\nz: $(R)\n");
    e2e::RunOptions options;
    options.keepErrors = true;
    const e2e::Result result =
        box.run({"-p", "--strict", "Q=q"},
                {"P=C:\\A B;C:\\C", "EMPTY=", "MAKE=mine", "R=a b", "Q=c d", "T=  t  "}, options);
    EXPECT_EQ(result.output, std::string(kBanner) + "tarvo,4|x: C:\\A [] mine a q t\n"
                                                    "tarvo,5|y: C:\\A C:\\a\ntarvo,7|\n"
                                                    "tarvo,8|z: r\n");
    EXPECT_EQ(
        result.errors,
        "tarvo: tarvo, line 4: $(P) is \"C:\\A\", the first word of the environment variable; "
        "\"$P\" in a command gives its whole value, \"C:\\A B;C:\\C\"\n"
        "tarvo: tarvo, line 4: $(R) is \"a\", the first word of the environment variable; "
        "\"$R\" in a command gives its whole value, \"a b\"\n"
        "tarvo: 2 warnings, and --strict makes them fail the run\n");
    EXPECT_EQ(result.status, 1);
}

TEST(Startup, SweepsTemporariesAtTheEndButNotWithK) {
    Sandbox box;
    box.write("tarvo", "a\n");
    box.write("tarvo7.$$$", "old");
    box.write("tarvo-x.$$$", "old");
    // Letter case counts: tarvo makes no such names here.
    box.write("TARVOX.$$$", "a user's");
    box.write("Tarvo-notes.$$$", "a user's");
    box.write("keep.$$$", "mine");
    box.run({"-p", "-k"});
    EXPECT_TRUE(box.exists("tarvo7.$$$"));
    box.run({"-p"});
    EXPECT_EQ(box.list(),
              (std::vector<std::string>{"TARVOX.$$$", "Tarvo-notes.$$$", "keep.$$$", "tarvo"}));
}

TEST(Startup, MakeStartsTarvoAgain) {
    Sandbox box;
    box.write("tarvo", "all:\n\t$(MAKE) -f inner.mak\n");
    box.write("inner.mak", "inner:\n\t@echo inner\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output,
              std::string(kBanner) + tarvoPath() + " -f inner.mak \n" + kBanner + "inner\n");
    EXPECT_EQ(result.status, 0);
}

TEST(Startup, SelfReferringMacroIsAnErrorNotAHang) {
    Sandbox box;
    box.write("tarvo", "a\nx: $(LOOP)\nb\n");
    const e2e::Result result = box.run({"-p"}, {"LOOP=$(LOOP)"});
    // Pass 1 stops at the line; the listing follows its message.
    EXPECT_EQ(result.output,
              std::string(kBanner) +
                  "Error (tarvo): tarvo, line 2: Macro LOOP refers to itself\ntarvo,1|a\n");
    EXPECT_EQ(result.status, 1);
}

TEST(Startup, LongLinePassesIntact) {
    Sandbox box;
    const std::string line(200000, 'x');
    box.write("tarvo", line + "\n");
    EXPECT_EQ(box.run({"-p"}).output, std::string(kBanner) + "tarvo,1|" + line + "\n");
}

TEST(Startup, IntermediateFileThatCannotBeCreated) {
    Sandbox box;
    box.write("tarvo", "a\n");
    // Every temporary name taken by a directory: the last name is tried and
    // cannot be opened as a file, as in a read-only directory.
    for (int i = 0; i < 1000; ++i) {
        box.makeDirectory("tarvo" + std::to_string(i) + ".$$$");
    }
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output,
              std::string(kBanner) +
                  "Error (tarvo): Unable to create the intermediate file tarvo999.$$$\n");
    EXPECT_EQ(result.status, 1);
}

} // namespace
