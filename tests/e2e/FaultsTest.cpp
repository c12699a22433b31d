// Faults of the surroundings and hostile makefiles: each run ends with its exact
// output and status, leaves no intermediate file behind and does not crash.
#include "e2e/E2eHarness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

using e2e::kBanner;
using e2e::kBaseTime;
using e2e::Sandbox;

namespace {

const char kMakeSure[] = "\n                (make sure KEL_ROOT is defined)";

// A string of all the bytes of a literal, zero bytes included.
template <std::size_t N> std::string bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// ---------------------------------------------------------------------------
// The surroundings: permissions, missing files, occupied names.

TEST(Faults, ReadOnlyCurrentDirectory) {
    Sandbox box;
    box.write("tarvo", "a\n");
    box.setMode("tarvo", 0644);
    // Root writes into a read-only directory regardless; tarvo runs as an
    // ordinary user then, so that the permission bits count.
    box.setMode(".", 0555);
    const e2e::Result result = box.runUnprivileged({});
    if (result.status == e2e::kCannotDropPrivileges) {
        GTEST_SKIP() << "running as root without permission to change user";
    }
    EXPECT_EQ(result.output,
              std::string(kBanner) +
                  "Error (tarvo): Unable to create the intermediate file tarvo0.$$$\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

TEST(Faults, ReadOnlyDirectorySeenWithoutWriting) {
    Sandbox box;
    box.write("tarvo", "app: in.c\n\tcc in.c\n");
    box.write("in.c", "");
    box.write("tarvo5.$$$", "another run's\n");
    box.setMode(".", 0555);
    box.setTime(".", kBaseTime);
    const auto before = box.snapshot();
    const std::pair<const char*, std::string> runs[] = {
        {"--dry-run", std::string(kBanner) + "cc in.c \n"},
        {"--graph", "digraph tarvo {\n    node [shape=box];\n"
                    "    n0 [label=\"app\", style=\"filled,dashed\"];\n"
                    "    n1 [label=\"in.c\"];\n    n0 -> n1;\n}\n"},
        {"-p", std::string(kBanner) + "tarvo,1|app: in.c\ntarvo,2|\tcc in.c\n"},
        {"--compdb", "[\n  {\n    \"directory\": \"" + box.path() +
                         "\",\n    \"file\": \"in.c\",\n    \"command\": \"cc in.c\",\n"
                         "    \"output\": \"app\"\n  }\n]\n"}};
    for (const auto& [option, output] : runs) {
        const e2e::Result result = box.runUnprivileged({option});
        if (result.status == e2e::kCannotDropPrivileges) {
            GTEST_SKIP() << "running as root without permission to change user";
        }
        EXPECT_EQ(result.output, output) << option;
        EXPECT_EQ(result.status, 0) << option;
        EXPECT_EQ(box.snapshot(), before) << option;
        EXPECT_EQ(box.modificationTime("."), kBaseTime) << option;
    }
}

TEST(Faults, UnreadableMakefile) {
    Sandbox box;
    box.setMode(".", 0777);
    box.write("tarvo", "a\n");
    box.setMode("tarvo", 0);
    const e2e::Result result = box.runUnprivileged({});
    if (result.status == e2e::kCannotDropPrivileges) {
        GTEST_SKIP() << "running as root without permission to change user";
    }
    EXPECT_EQ(result.output,
              std::string(kBanner) + "Error (tarvo):  Unable to open file tarvo.mak");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

TEST(Faults, MakefileThatIsADirectory) {
    Sandbox box;
    box.makeDirectory("tarvo");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output,
              std::string(kBanner) + "Error (tarvo):  Unable to open file tarvo.mak");
    EXPECT_EQ(result.status, 1);
    // The fallback still applies.
    box.write("tarvo.mak", "x\n");
    EXPECT_EQ(box.run({"-p"}).output, std::string(kBanner) + "tarvo.mak,1|x\n");
    EXPECT_EQ(box.list(), sorted({"tarvo", "tarvo.mak"}));
}

TEST(Faults, MissingInclude) {
    Sandbox box;
    box.write("tarvo", "all:\n\n!include nothere.mak\nafter:\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, std::string(kBanner) +
                                 "Error (tarvo):  Unable to open include file nothere.mak" +
                                 kMakeSure);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

TEST(Faults, UnreadableInclude) {
    Sandbox box;
    box.setMode(".", 0777);
    box.write("tarvo", "a\n!include \"secret.mak\"\nb\n");
    box.write("secret.mak", "s\n");
    box.setMode("secret.mak", 0);
    const e2e::Result result = box.runUnprivileged({"-p"});
    if (result.status == e2e::kCannotDropPrivileges) {
        GTEST_SKIP() << "running as root without permission to change user";
    }
    EXPECT_EQ(result.output, std::string(kBanner) +
                                 "Error (tarvo):  Unable to open include file secret.mak" +
                                 kMakeSure + "tarvo,1|a\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), sorted({"secret.mak", "tarvo"}));
}

TEST(Faults, IncludesThatIncludeEachOther) {
    Sandbox box;
    box.write("tarvo", "!include a.mak\n");
    box.write("a.mak", "!include b.mak\n");
    box.write("b.mak", "!include a.mak\n");
    const e2e::Result result = box.run({});
    // 64 levels deep the 65th include is refused; it is a.mak, named in b.mak.
    EXPECT_EQ(result.output, std::string(kBanner) +
                                 "Error (tarvo): b.mak, line 1: Include file a.mak nested more "
                                 "than 64 levels deep\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), sorted({"a.mak", "b.mak", "tarvo"}));
}

TEST(Faults, DirectoryWithATemporaryNameIsSkippedAndKept) {
    Sandbox box;
    box.write("tarvo", "a\n");
    box.makeDirectory("tarvo5.$$$");
    box.write("tarvo5.$$$/inside", "mine");
    for (int i = 0; i < 5; ++i) {
        box.write("tarvo" + std::to_string(i) + ".$$$", "stale");
    }
    // The intermediate file takes the first free name after the directory; the
    // sweep removes every file it can and ends.
    for (int run = 0; run < 2; ++run) {
        const e2e::Result result = box.run({"-p"});
        EXPECT_EQ(result.output, std::string(kBanner) + "tarvo,1|a\n");
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(box.list(), sorted({"tarvo", "tarvo5.$$$"}));
        EXPECT_EQ(box.read("tarvo5.$$$/inside"), "mine");
    }
}

TEST(Faults, DirectoryWithATemporaryNameOutlivesEverySweep) {
    Sandbox box;
    box.write("tarvo", "all:\n\tcat <<\none\n<<\n\tcat <<\ntwo\n<<\n");
    box.makeDirectory("tarvo0.$$$");
    // Each inline file skips the directory; the sweep after each command
    // removes the file and leaves the directory.
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, std::string(kBanner) + "cat tarvo1.$$$ \none\ncat tarvo1.$$$ \ntwo\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(box.list(), sorted({"tarvo", "tarvo0.$$$"}));
}

// ---------------------------------------------------------------------------
// Files that cannot be written to the end (a full disk, a quota).

// With the limit's signal at its default action, as "ulimit -f" in a shell
// leaves it, and ignored by the caller: either way the write fails.
class FileSizeLimit : public ::testing::TestWithParam<bool> {
  protected:
    e2e::RunOptions limit(long bytes) const {
        e2e::RunOptions options;
        options.fileSizeLimit = bytes;
        options.fileSizeSignalIgnored = GetParam();
        return options;
    }
};

TEST_P(FileSizeLimit, IntermediateFileThatCannotBeWrittenInFull) {
    Sandbox box;
    // 20,000 records do not fit in 64 KiB; had pass 2 read what fitted, the
    // rule at the end would be lost and the run would end "successfully".
    box.write("tarvo", std::string(20000, '\n') + "all:\n\t@echo built\n");
    const e2e::Result result = box.run({}, Sandbox::defaultEnvironment(), limit(64 * 1024));
    EXPECT_EQ(result.output,
              std::string(kBanner) +
                  "Error (tarvo): Unable to write the intermediate file tarvo0.$$$\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

TEST_P(FileSizeLimit, InlineFileThatCannotBeWrittenInFull) {
    Sandbox box;
    // The dependency list fits in the intermediate file; ten times over, it
    // does not fit in the inline file.
    std::string dependencies;
    for (int i = 0; i < 1000; ++i) {
        dependencies += " dependency" + std::to_string(i);
    }
    box.write("tarvo",
              "all:" + dependencies + "\n\tcat <<\n$@$@$@$@$@$@$@$@$@$@\n<<\n\techo never\n");
    box.write("dependency0", "");
    const e2e::Result result = box.run({}, Sandbox::defaultEnvironment(), limit(64 * 1024));
    EXPECT_EQ(result.output,
              std::string(kBanner) + "Error (tarvo): Unable to write the inline file tarvo0.$$$\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), sorted({"dependency0", "tarvo"}));
}

INSTANTIATE_TEST_SUITE_P(Faults, FileSizeLimit, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "SignalIgnored" : "SignalAtDefault");
});

TEST(Faults, StandardOutputThatCannotBeWritten) {
    Sandbox box;
    box.write("tarvo", "a\n");
    e2e::RunOptions full;
    full.standardOutput = "/dev/full";
    // The listing is all that -p delivers: lost, it is no success.
    const e2e::Result result = box.run({"-p"}, Sandbox::defaultEnvironment(), full);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

// More commands at once than the descriptor limit leaves room for (each holds
// two pipes): the soft limit is raised where the hard one allows, and where
// it does not, fewer commands run at once, which is said once. No command
// fails for want of descriptors.
TEST(Faults, DescriptorLimitBelowTheNumberOfJobs) {
    const int kCommands = 40;
    std::string makefile = "all:";
    for (int i = 0; i < kCommands; ++i) {
        makefile += " t" + std::to_string(i);
    }
    makefile += "\n\n";
    for (int i = 0; i < kCommands; ++i) {
        makefile += "t" + std::to_string(i) + ": in\n\t@./wait.sh " + std::to_string(i) + "\n\n";
    }
    for (const long hard : {64L, 4096L}) {
        Sandbox box;
        box.write("tarvo", makefile);
        box.write("in", "");
        // Each command holds on until the test lets them all go.
        box.write("wait.sh", "#!/bin/sh\ntouch started.$1\nread line < gate\n");
        box.setMode("wait.sh", 0755);
        ASSERT_EQ(mkfifo(box.pathOf("gate").c_str(), 0600), 0);
        const int gate = open(box.pathOf("gate").c_str(), O_RDWR);
        const std::string errors = box.path() + ".errors";
        close(open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        e2e::RunOptions options;
        options.descriptors = 64;
        options.descriptorsHard = hard;
        options.standardError = errors;
        e2e::Running run =
            box.start({"-j" + std::to_string(kCommands)}, Sandbox::defaultEnvironment(), options);
        // Until every command has started, or tarvo has said something (that
        // fewer start, or that one failed).
        struct stat said;
        for (int polls = 0;
             polls < 2000 && !box.exists("started." + std::to_string(kCommands - 1)) &&
             (stat(errors.c_str(), &said) != 0 || said.st_size == 0);
             ++polls) {
            const struct timespec pause = {0, 5 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
        const std::string lines(kCommands, '\n');
        ASSERT_EQ(write(gate, lines.data(), lines.size()), kCommands);
        const e2e::Result result = run.finish();
        close(gate);
        EXPECT_EQ(result.output, kBanner) << hard;
        EXPECT_EQ(result.status, 0) << hard;
        std::ifstream in(errors);
        std::string first;
        std::string second;
        std::getline(in, first);
        std::getline(in, second);
        std::remove(errors.c_str());
        if (hard == 64) {
            EXPECT_EQ(first.rfind("tarvo: the descriptor limit (ulimit -n 64) allows ", 0), 0u)
                << first;
        } else {
            EXPECT_EQ(first, "") << "raised, the limit leaves room for all";
        }
        EXPECT_EQ(second, "");
    }
}

// ---------------------------------------------------------------------------
// Commands that fail to run.

TEST(Faults, CommandKilledByASignal) {
    Sandbox box;
    box.write("die.sh", "#!/bin/sh\nkill -KILL $$\n");
    box.setMode("die.sh", 0755);
    box.write("tarvo", "all:\n\t./die.sh\n\techo never\n");
    const e2e::Result result = box.run({});
    // The status a shell gives a command killed by signal 9.
    EXPECT_EQ(result.output, std::string(kBanner) + "./die.sh \n");
    EXPECT_EQ(result.status, 128 + 9);
    EXPECT_EQ(box.list(), sorted({"die.sh", "tarvo"}));

    box.write("tarvo", "all:\n\t-./die.sh\n\techo after\n");
    const e2e::Result ignored = box.run({});
    EXPECT_EQ(ignored.output, std::string(kBanner) + "./die.sh \necho after \nafter\n");
    EXPECT_EQ(ignored.status, 0);
}

TEST(Faults, CommandThatDoesNotExist) {
    Sandbox box;
    box.write("tarvo", "all:\n\tno-such-program-here x\n\techo never\n");
    const e2e::Result result = box.run({});
    // Tried directly, then through the shell, which answers "not found".
    EXPECT_EQ(result.output, std::string(kBanner) + "no-such-program-here x \n");
    EXPECT_EQ(result.status, 127);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

// The system refuses to start these; the shell is tried only for a program
// that is not found or is no program the system starts (a script without
// an interpreter line), and it would be refused the same way.
struct Refusal {
    const char* name;
    std::string command;
    std::string expected; // after the banner and the echo
    int status;
};

void PrintTo(const Refusal& r, std::ostream* out) {
    *out << r.name;
}

class RefusedCommand : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedCommand, IsReportedWithTheSystemsReason) {
    const Refusal& r = GetParam();
    Sandbox box;
    box.write("tarvo", "all:\n\t" + r.command + "\n\techo never\n");
    box.write("notes.txt", "echo from notes\n");
    box.write("script", "echo from script\n");
    box.setMode("script", 0755);
    // Alone or side by side, commands start the same way.
    for (const char* jobs : {"-j1", "-j2"}) {
        const e2e::Result result = box.run({jobs});
        EXPECT_EQ(result.output, std::string(kBanner) + r.command + " \n" + r.expected) << jobs;
        EXPECT_EQ(result.status, r.status) << jobs;
        EXPECT_EQ(box.list(), sorted({"notes.txt", "script", "tarvo"})) << jobs;
    }
}

const std::string kLongArgument(200000, 'x');
const std::string kUnableToRun = "Error (tarvo): Unable to run the command ";

const Refusal kRefusals[] = {
    {"NotExecutable", "./notes.txt a", kUnableToRun + "./notes.txt a : Permission denied\n", 1},
    {"ArgumentListTooLong", "echo " + kLongArgument,
     kUnableToRun + "echo " + kLongArgument.substr(0, 195) + "...: Argument list too long\n", 1},
    {"ArgumentListTooLongForTheShell", "echo " + kLongArgument + " | cat",
     kUnableToRun + "echo " + kLongArgument.substr(0, 195) + "...: Argument list too long\n", 1},
    {"ScriptWithoutInterpreterLineRunsInTheShell", "./script", "from script\necho never \nnever\n",
     0},
};

INSTANTIATE_TEST_SUITE_P(Faults, RefusedCommand, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Faults, DependencyCycleThroughAnInferenceRule) {
    Sandbox box;
    box.write("tarvo", "app: x.obj\n\techo link\n\n.c.obj:\n\techo compile\n\n"
                       "x.c: app\n\techo generate\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, std::string(kBanner) +
                                 "Error (tarvo): Dependency cycle app -> x.obj -> x.c -> app\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

// ---------------------------------------------------------------------------
// Macros that refer to themselves, from the environment or the command line.

struct MacroLoop {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
    std::string expected; // after the banner
};

void PrintTo(const MacroLoop& loop, std::ostream* out) {
    *out << loop.name;
}

class SelfReference : public ::testing::TestWithParam<MacroLoop> {};

TEST_P(SelfReference, EndsWithAnError) {
    const MacroLoop& c = GetParam();
    Sandbox box;
    box.write("tarvo", "all:\n\necho $(A) $(X) $(M20)\n");
    std::vector<std::string> environment = Sandbox::defaultEnvironment();
    environment.insert(environment.end(), c.environment.begin(), c.environment.end());
    const e2e::Result result = box.run(c.arguments, environment);
    EXPECT_EQ(result.output, kBanner + c.expected);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

// M20 doubles M19 and so on down to a value of 64 bytes: 64 MiB, finite but
// beyond all reason.
std::vector<std::string> exponentialMacros() {
    std::vector<std::string> macros = {"M0=" + std::string(64, 'x')};
    for (int i = 1; i <= 20; ++i) {
        const std::string below = "$(M" + std::to_string(i - 1) + ")";
        macros.push_back("M" + std::to_string(i) + "=" + below + below);
    }
    return macros;
}

const MacroLoop kLoops[] = {
    {"Direct", {}, {"A=$(A)"}, "Error (tarvo): tarvo, line 3: Macro A refers to itself\n"},
    {"ThroughAnother",
     {},
     {"A=$(B)", "B=$(A)"},
     "Error (tarvo): tarvo, line 3: Macro A refers to itself\n"},
    {"Doubling", {}, {"A=$(A)$(A)"}, "Error (tarvo): tarvo, line 3: Macro A refers to itself\n"},
    {"Exponential",
     {},
     exponentialMacros(),
     "Error (tarvo): tarvo, line 3: Macro M1 expands without bound\n"},
    {"FromTheCommandLine",
     {"X=x$(X)"},
     {},
     "Error (tarvo): tarvo, line 3: Macro X refers to itself\n"},
};

INSTANTIATE_TEST_SUITE_P(Faults, SelfReference, ::testing::ValuesIn(kLoops),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Hostile bytes.

struct ByteCase {
    const char* name;
    std::string makefile;
    std::string expected; // the listing after the banner
    int status;
};

void PrintTo(const ByteCase& c, std::ostream* out) {
    *out << c.name;
}

class HostileBytes : public ::testing::TestWithParam<ByteCase> {};

TEST_P(HostileBytes, ListExactly) {
    const ByteCase& c = GetParam();
    Sandbox box;
    box.write("tarvo", c.makefile);
    const e2e::Result result = box.run({"-p"});
    EXPECT_EQ(result.output, kBanner + c.expected);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

const ByteCase kByteCases[] = {
    {"CrLfWithContinuationsAndDirectives",
     "A = 1 \\\r\n  2\r\n!if $(A) == 1\r\nno\r\n!else\r\nx: $(A)\r\n!endif\r\n\r\n",
     "tarvo,5|x: 1   2\ntarvo,7|\n", 0},
    {"LoneCarriageReturnsStayInside", "a\rb\r\n", "tarvo,1|a\rb\n", 0},
    {"NulBytesCutLines",
     bytes("A = 1\0 ignored\nx: $(A)\0$(A)\n\0\0\0\n!if 1 == 1\0 junk\ny\n!endif\n"),
     "tarvo,2|x: 1\ntarvo,3|\ntarvo,5|y\n", 0},
    {"OnlyNulBytes", std::string(1000, '\0'), "tarvo,1|\n", 0},
    {"BytesAbove127",
     "\xe4\xf6 = \xff\xfe\nx\xc3\xa4: $(\xe4\xf6) $(\xc4\xd6)\n!if \xc4 == \xe4\nno\n!endif\n"
     "!ifdef \xe4\xf6\nyes\n!endif\n",
     "tarvo,2|x\xc3\xa4: \xff\xfe \ntarvo,7|yes\n", 0},
    {"BinaryGarbage", bytes("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01\0\x7f\x80\xff\\\n!\x01\x02\n"),
     // The message comes first: the listing follows pass 1.
     "Error (tarvo): tarvo, line 4: Invalid directive !\x01\x02tarvo,1|\x89PNG\ntarvo,2|\x1a\n"
     "tarvo,3|\n",
     1},
};

INSTANTIATE_TEST_SUITE_P(Faults, HostileBytes, ::testing::ValuesIn(kByteCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Faults, HostileBytesInRulesAndCommands) {
    Sandbox box;
    box.write("tarvo", bytes("all: x\xe4\r\n\t@echo \xc3\xa4\xff $@\r\n\r\n"
                             "x\xe4:\r\n\t@echo one\0 two\r\n\r\n"));
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, std::string(kBanner) + "one\n\xc3\xa4\xff x\xe4\n");
    EXPECT_EQ(result.status, 0);
}

TEST(Faults, GarbageIsASyntaxError) {
    Sandbox box;
    box.write("tarvo", bytes("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01\0\x7f\x80\xff\n"));
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output,
              std::string(kBanner) + "Error (tarvo):  Syntax error in tarvo, line 1");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

} // namespace
