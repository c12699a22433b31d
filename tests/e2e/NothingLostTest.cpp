// A run changes no file it was not told to, beyond the tool's own temporary
// files (tarvo*.$$$ in the current directory), and never leaves its
// intermediate file behind, however it ends: errors and interrupts included.
#include "e2e/E2eHarness.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

using e2e::kBanner;
using e2e::Sandbox;

namespace {

using Snapshot = std::map<std::string, std::string>;

// Letter case counts: tarvo makes only lower-case names here.
bool isTopLevelTemporary(const std::string& path) {
    if (path.find('/') != std::string::npos || path.size() < 9) {
        return false;
    }
    return path.compare(0, 5, "tarvo") == 0 && path.compare(path.size() - 4, 4, ".$$$") == 0;
}

Snapshot withoutTemporaries(const Snapshot& all) {
    Snapshot kept;
    for (const auto& entry : all) {
        if (!isTopLevelTemporary(entry.first)) {
            kept.insert(entry);
        }
    }
    return kept;
}

std::vector<std::string> temporaries(const Snapshot& all) {
    std::vector<std::string> names;
    for (const auto& entry : all) {
        if (isTopLevelTemporary(entry.first)) {
            names.push_back(entry.first);
        }
    }
    return names;
}

// Files a careless run could touch: near-misses of the temporary pattern (in
// other letter case too), the pattern in a subdirectory, and a temporary name
// that links to a user's file.
void addDecoys(const Sandbox& box) {
    box.write("target.txt", "precious");
    box.write("TARVO0.$$$", "a user's");
    box.write("Tarvo-notes.$$$", "a user's");
    box.write("tarvo.$$", "near miss");
    box.write("tarvo1.$$$x", "near miss");
    box.write("xtarvo1.$$$", "near miss");
    box.write("keep.$$$", "not ours");
    box.makeDirectory("sub");
    box.write("sub/tarvo1.$$$", "not in the current directory");
    box.write("tarvo3.$$$", "stale");
    symlink("target.txt", box.pathOf("tarvo7.$$$").c_str());
    box.setTime("target.txt", e2e::kBaseTime);
}

struct Scenario {
    const char* name;
    std::string makefile;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> arguments;
    std::vector<std::string> environment; // added to the default one
};

void PrintTo(const Scenario& s, std::ostream* out) {
    *out << s.name;
}

class NothingLost : public ::testing::TestWithParam<Scenario> {};

TEST_P(NothingLost, OnlyTemporariesChangeAndNoneIsAdded) {
    const Scenario& s = GetParam();
    Sandbox box;
    box.write("tarvo", s.makefile);
    for (const auto& file : s.files) {
        box.write(file.first, file.second);
    }
    addDecoys(box);
    std::vector<std::string> environment = Sandbox::defaultEnvironment();
    environment.insert(environment.end(), s.environment.begin(), s.environment.end());

    const Snapshot before = box.snapshot();
    const e2e::Result result = box.run(s.arguments, environment);
    const Snapshot after = box.snapshot();

    EXPECT_LT(result.status, 128) << "killed by a signal";
    EXPECT_EQ(withoutTemporaries(after), withoutTemporaries(before));
    // Temporaries may be swept, but none may appear: the intermediate file is gone.
    for (const std::string& name : temporaries(after)) {
        EXPECT_EQ(before.count(name), 1u) << name << " left behind";
    }
}

const Scenario kScenarios[] = {
    {"Listing", "A = 1\nx: $(A)\n", {}, {"-p"}, {}},
    {"ListingKeepingTemporaries", "x\n", {}, {"-p", "-k"}, {}},
    {"EmptyMakefile", "", {}, {}, {}},
    {"MakefileMissing", "", {}, {"-f", "nothere"}, {}},
    {"IncludeMissing", "a\n!include nothere\nb\n", {}, {}, {}},
    {"IncludeItself", "!include tarvo\n", {}, {}, {}},
    {"ErrorDirective", "a\n!error stop\n", {}, {"-p"}, {}},
    {"InvalidDirective", "!bogus\n", {}, {}, {}},
    {"SelfReferringMacro", "x: $(A)\n", {}, {}, {"A=$(A)"}},
    {"IncludeOfADecoy", "!include \"tarvo7.$$$\"\n!include target.txt\n", {}, {"-p"}, {}},
    {"BuildWithInlineFiles",
     "all: one two\n\none:\n\tcat <<\nx\n<<\n\ntwo:\n\tcat <<\ny\n<<\n\techo $@\n",
     {},
     {},
     {}},
    {"FailingCommand", "all:\n\tcat <<\nx\n<<\n\tfalse\n\techo never\n", {}, {}, {}},
    {"UnterminatedInlineFile", "all:\n\tcat <<\nx\n", {}, {}, {}},
    {"NoRuleForTarget", "all:\n\techo all\n", {}, {"all", "nothing"}, {}},
    {"SyntaxError", "all:\n\techo all\n\nstray\n", {}, {}, {}},
    {"DependencyCycle", "a: b\n\nb: a\n", {}, {}, {}},
    {"KeepingTemporaries", "all:\n\techo $<\n", {}, {"-k"}, {}},
};

INSTANTIATE_TEST_SUITE_P(Runs, NothingLost, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NothingLost, LastTemporaryNameLinkingToAUsersFile) {
    Sandbox box;
    box.write("tarvo", "a\n");
    box.write("target.txt", "precious");
    // Every name is taken, so the last one is used anew: the link is replaced,
    // not followed.
    for (int i = 0; i < 999; ++i) {
        box.write("tarvo" + std::to_string(i) + ".$$$", "stale");
    }
    symlink("target.txt", box.pathOf("tarvo999.$$$").c_str());
    const e2e::Result result = box.run({"-p"});
    EXPECT_EQ(result.output, std::string(kBanner) + "tarvo,1|a\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(box.read("target.txt"), "precious");
    EXPECT_EQ(box.list(), (std::vector<std::string>{"target.txt", "tarvo"}));
}

TEST(NothingLost, InlineFileNameLinkingToAUsersFile) {
    Sandbox box;
    // With -k nothing is swept, so the link that the first command makes holds
    // the last name when the inline file needs one.
    box.write("tarvo", "all:\n\tln -s target.txt tarvo999.$$$\n\tcat <<\ninline text\n<<\n\n");
    box.write("target.txt", "precious");
    for (int i = 0; i < 999; ++i) {
        box.write("tarvo" + std::to_string(i) + ".$$$", "stale");
    }
    const e2e::Result result = box.run({"-k"});
    EXPECT_EQ(result.output,
              std::string(kBanner) +
                  "ln -s target.txt tarvo999.$$$ \ncat tarvo999.$$$ \ninline text\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(box.read("target.txt"), "precious");
    EXPECT_EQ(box.read("tarvo999.$$$"), "inline text\n");
}

// ---------------------------------------------------------------------------
// Two runs in one directory.

TEST(TwoRuns, SecondRunKeepsToItsOwnFilesAndSweepsLeftovers) {
    Sandbox box;
    // The first run's command waits, its inline file not yet read, until the
    // test lets it go on.
    box.write("first.mak", "all:\n\t./reader.sh <<\ninline data\n<<\n");
    box.write("reader.sh", "#!/bin/sh\ntouch started\nread line < gate\ncat \"$1\" > seen\n");
    box.setMode("reader.sh", 0755);
    ASSERT_EQ(mkfifo(box.pathOf("gate").c_str(), 0600), 0);
    box.write("second.mak", "all:\n\tcat <<\nsecond data\n<<\n");
    e2e::Running first = box.start({"-f", "first.mak"});
    ASSERT_TRUE(first.waitForFile(box.pathOf("started")));
    box.write("tarvo5.$$$", "left by a run that has ended");

    const e2e::Result second = box.run({"-f", "second.mak"});
    // tarvo0.$$$ is the first run's, so the second run's files take the next number.
    EXPECT_EQ(second.output, std::string(kBanner) + "cat tarvo1.$$$ \nsecond data\n");
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(box.read("tarvo0.$$$"), "inline data\n");
    EXPECT_FALSE(box.exists("tarvo5.$$$"));

    {
        std::ofstream gate(box.pathOf("gate"));
        gate << "go\n";
    }
    const e2e::Result result = first.finish();
    EXPECT_EQ(result.output, std::string(kBanner) + "./reader.sh tarvo0.$$$ \n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(box.read("seen"), "inline data\n");
    EXPECT_EQ(box.list(), (std::vector<std::string>{"first.mak", "gate", "reader.sh", "second.mak",
                                                    "seen", "started"}));
}

// ---------------------------------------------------------------------------
// Interrupts.

struct InterruptCase {
    const char* name;
    int signalNumber;
    bool wholeGroup; // as a terminal sends Ctrl-C
};

void PrintTo(const InterruptCase& c, std::ostream* out) {
    *out << c.name;
}

class InterruptDuringPassOne : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(InterruptDuringPassOne, RemovesTheIntermediateFile) {
    const InterruptCase& c = GetParam();
    Sandbox box;
    // Pass 1 blocks opening the include file until a writer comes, which never does.
    box.write("tarvo", "a\n!include blocked.mak\nb\n");
    ASSERT_EQ(mkfifo(box.pathOf("blocked.mak").c_str(), 0600), 0);
    addDecoys(box);
    const Snapshot before = box.snapshot();

    e2e::Running run = box.start({});
    ASSERT_TRUE(run.waitForFile(box.pathOf("tarvo0.$$$"))) << "no intermediate file";
    if (c.wholeGroup) {
        run.signalGroup(c.signalNumber);
    } else {
        run.signal(c.signalNumber);
    }
    const e2e::Result result = run.finish();

    EXPECT_EQ(result.status, 128 + c.signalNumber);
    EXPECT_EQ(std::string(kBanner).compare(0, result.output.size(), result.output), 0)
        << "output beyond the banner: " << result.output;
    EXPECT_EQ(withoutTemporaries(box.snapshot()), withoutTemporaries(before));
    EXPECT_EQ(temporaries(box.snapshot()), temporaries(before));
}

// Every signal that ends a process by default and comes from outside; a
// file-size signal from another process is no failed write of tarvo's own.
const InterruptCase kInterrupts[] = {
    {"Interrupt", SIGINT, false},       {"Terminate", SIGTERM, false},
    {"HangUp", SIGHUP, false},          {"CtrlC", SIGINT, true},
    {"Quit", SIGQUIT, false},           {"CtrlBackslash", SIGQUIT, true},
    {"BrokenPipe", SIGPIPE, false},     {"Alarm", SIGALRM, false},
    {"User1", SIGUSR1, false},          {"User2", SIGUSR2, false},
    {"CpuTimeLimit", SIGXCPU, false},   {"FileSizeLimit", SIGXFSZ, false},
    {"VirtualAlarm", SIGVTALRM, false}, {"Profiling", SIGPROF, false},
};

INSTANTIATE_TEST_SUITE_P(Signals, InterruptDuringPassOne, ::testing::ValuesIn(kInterrupts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClosedOutput, ListingToAReaderThatQuitsEarly) {
    Sandbox box;
    std::string makefile;
    for (int i = 0; i < 100000; ++i) {
        makefile += "line " + std::to_string(i) + "\n";
    }
    box.write("tarvo", makefile);
    // As in "tarvo -p | head": the listing meets a closed pipe while the
    // intermediate file is still open.
    e2e::Running run = box.start({"-p"});
    run.closeOutput();
    const e2e::Result result = run.finish();
    EXPECT_EQ(result.status, 128 + SIGPIPE);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

TEST(ClosedOutput, InlineFileOfTheNextCommand) {
    Sandbox box;
    box.write("tarvo", "all:\n\t./wait.sh\n\tcat <<\ninline data\n<<\n\ttouch after\n");
    box.write("wait.sh", "#!/bin/sh\ntouch started\nread line < gate\n");
    box.setMode("wait.sh", 0755);
    ASSERT_EQ(mkfifo(box.pathOf("gate").c_str(), 0600), 0);
    // The reader quits while the first command runs; the echo of the next one,
    // written when its inline file exists and no command runs, meets the
    // closed pipe.
    e2e::Running run = box.start({});
    ASSERT_TRUE(run.waitForFile(box.pathOf("started")));
    run.closeOutput();
    {
        std::ofstream gate(box.pathOf("gate"));
        gate << "go\n";
    }
    const e2e::Result result = run.finish();
    EXPECT_EQ(result.status, 128 + SIGPIPE);
    EXPECT_EQ(box.list(), (std::vector<std::string>{"gate", "started", "tarvo", "wait.sh"}));
}

// The first target's first command waits; the signal comes while it runs.
// Neither its second command nor the second target may start afterwards.
const char kWaitingMakefile[] = "all: first second\n\n"
                                "first:\n\t./wait.sh <<\ninline data\n<<\n\ttouch after-first\n\n"
                                "second:\n\ttouch second\n";

class InterruptDuringCommand : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(InterruptDuringCommand, EndsWithTheSignalAndStartsNothingMore) {
    const InterruptCase& c = GetParam();
    Sandbox box;
    box.write("tarvo", kWaitingMakefile);
    box.write("wait.sh", "#!/bin/sh\ntouch started\nexec sleep 30\n");
    box.setMode("wait.sh", 0755);
    addDecoys(box);
    const Snapshot before = box.snapshot();

    e2e::Running run = box.start({});
    ASSERT_TRUE(run.waitForFile(box.pathOf("started"))) << "the command did not start";
    if (c.wholeGroup) {
        run.signalGroup(c.signalNumber);
    } else {
        run.signal(c.signalNumber);
    }
    const e2e::Result result = run.finish();

    // The intermediate file had tarvo0.$$$ and gave it back before the
    // commands, so the inline file has it now.
    EXPECT_EQ(result.output, std::string(kBanner) + "./wait.sh tarvo0.$$$ \n");
    EXPECT_EQ(result.status, 128 + c.signalNumber);
    EXPECT_FALSE(box.exists("after-first"));
    EXPECT_FALSE(box.exists("second"));
    // The sweep on the way out removed the inline file and the stale decoys.
    Snapshot expected = withoutTemporaries(before);
    expected.erase("started");
    Snapshot after = withoutTemporaries(box.snapshot());
    after.erase("started");
    EXPECT_EQ(after, expected);
    EXPECT_TRUE(temporaries(box.snapshot()).empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptDuringCommand, ::testing::ValuesIn(kInterrupts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InterruptDuringCommand, CommandThatIgnoresTheSignalStillEndsTheRun) {
    Sandbox box;
    box.write("tarvo", kWaitingMakefile);
    // The command shrugs the signal off and finishes normally once the test
    // lets it go on.
    box.write("wait.sh", "#!/bin/sh\ntrap '' INT TERM HUP\ntouch started\nread line < gate\n");
    box.setMode("wait.sh", 0755);
    ASSERT_EQ(mkfifo(box.pathOf("gate").c_str(), 0600), 0);

    e2e::Running run = box.start({});
    ASSERT_TRUE(run.waitForFile(box.pathOf("started")));
    run.signal(SIGTERM);
    {
        std::ofstream gate(box.pathOf("gate"));
        gate << "go\n";
    }
    const e2e::Result result = run.finish();

    EXPECT_EQ(result.output, std::string(kBanner) + "./wait.sh tarvo0.$$$ \n");
    EXPECT_EQ(result.status, 128 + SIGTERM);
    EXPECT_FALSE(box.exists("after-first"));
    EXPECT_FALSE(box.exists("second"));
    EXPECT_EQ(box.list(), (std::vector<std::string>{"gate", "started", "tarvo", "wait.sh"}));
}

} // namespace

// A command interrupted after it began to write its target leaves a file with
// a new time, which would pass for up to date: it is removed. A target that
// the command did not touch stays. Target rules and inference rules alike,
// with one job and with several.
TEST(InterruptDuringCommand, RemovesTheTargetItsCommandChanged) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
    };
    // Started directly, so that the signal reaches the script, which becomes the sleep.
    const std::string makefile = "out.txt: in.txt\n\t./write.sh $<\n\n"
                                 "kept.txt: in.txt\n\t./write.sh\n\n"
                                 ".c.o:\n\t./write.sh $*.o\n";
    for (const Case& c : std::vector<Case>{{"Target", {"out.txt"}},
                                           {"TargetSideBySide", {"-j2", "out.txt"}},
                                           {"Untouched", {"kept.txt"}},
                                           {"Inference", {"x.o"}}}) {
        Sandbox box;
        box.write("tarvo", makefile);
        box.write("write.sh", "#!/bin/sh\n[ -n \"$1\" ] && echo partial > \"$1\"\n"
                              "touch started\nexec sleep 30\n");
        box.setMode("write.sh", 0755);
        for (const char* name : {"in.txt", "x.c", "out.txt", "kept.txt", "x.o"}) {
            box.write(name, "old\n");
            box.setTime(name, std::string(name) == "in.txt" || std::string(name) == "x.c"
                                  ? e2e::kBaseTime + 60
                                  : e2e::kBaseTime);
        }
        e2e::Running run = box.start(c.arguments);
        ASSERT_TRUE(run.waitForFile(box.pathOf("started"))) << c.name;
        run.signal(SIGINT);
        EXPECT_EQ(run.finish().status, 128 + SIGINT) << c.name;
        const bool untouched = std::string(c.name) == "Untouched";
        EXPECT_EQ(box.exists("out.txt"), std::string(c.name).rfind("Target", 0) != 0) << c.name;
        EXPECT_EQ(box.exists("x.o"), std::string(c.name) != "Inference") << c.name;
        EXPECT_TRUE(box.exists("kept.txt")) << c.name;
        if (untouched) {
            EXPECT_EQ(box.read("kept.txt"), "old\n");
        }
    }
}

// An interrupt between two commands of a rule, while tarvo is blocked writing
// to a reader that does not keep up: the target that the first command began
// is half made and goes, the next command never starts, and the trace and the
// record of times keep the command that ended. With one job tarvo blocks on
// the echo of the second command; with several, on the output of the first,
// while another job's command runs or while none does.
TEST(InterruptBetweenCommands, RemovesTheHalfMadeTargetAndKeepsTheRecord) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        bool otherJob; // b.txt's command runs meanwhile
    };
    const std::string line(70000, 'x');
    const std::string makefile = "TARVO_LOG = times.log\n\n"
                                 "all: a.txt b.txt\n\n"
                                 "a.txt: in\n\techo partial > a.txt\n\ttrue " +
                                 line +
                                 "\n\ttouch a-after\n\n"
                                 "big: in\n\t./big.sh\n\ttouch a-after\n\n"
                                 "b.txt: in\n\t./wait.sh\n";
    for (const Case& c :
         std::vector<Case>{{"EchoBlocked", {"a.txt"}, false},
                           {"OutputBlockedBesideAnother", {"-j2", "big", "b.txt"}, true},
                           {"OutputBlockedAlone", {"-j2", "big"}, false}}) {
        Sandbox box;
        box.write("tarvo", makefile);
        box.write("in", "");
        // Writes its target, then more than a pipe holds.
        box.write("big.sh",
                  "#!/bin/sh\necho partial > big\nhead -c 70000 /dev/zero | tr '\\0' x\n");
        box.setMode("big.sh", 0755);
        box.write("wait.sh", "#!/bin/sh\ntouch b-started\nexec sleep 30\n");
        box.setMode("wait.sh", 0755);
        std::vector<std::string> arguments = {"--trace", "trace.json"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        e2e::Running run = box.start(arguments);
        if (c.otherJob) {
            ASSERT_TRUE(run.waitForFile(box.pathOf("b-started"))) << c.name;
        }
        // Half the pipe: tarvo is in the long write, which cannot end before
        // the test reads.
        ASSERT_TRUE(run.waitForOutput(32768)) << c.name;
        run.signal(SIGINT);
        const e2e::Result result = run.finish();
        EXPECT_EQ(result.status, 128 + SIGINT) << c.name;
        EXPECT_FALSE(box.exists("a.txt")) << c.name;
        EXPECT_FALSE(box.exists("big")) << c.name;
        EXPECT_FALSE(box.exists("a-after")) << c.name;
        EXPECT_FALSE(box.exists("b.txt")) << c.name;
        const std::string first =
            c.otherJob || c.arguments[0] == "-j2" ? "./big.sh" : "echo partial > a.txt";
        const std::string trace = box.read("trace.json");
        EXPECT_NE(trace.find("\"command\": \"" + first + "\""), std::string::npos)
            << c.name << trace;
        EXPECT_EQ(trace.substr(trace.size() < 4 ? 0 : trace.size() - 4), "\n]}\n") << c.name;
        EXPECT_NE(box.read("times.log").find(c.arguments[0] == "-j2" ? "\tbig\n" : "\ta.txt\n"),
                  std::string::npos)
            << c.name;
    }
}

// A target that is a directory (a sub-build's) or a symbolic link is no
// half-made file: an interrupt or a failure leaves a directory as it is and
// says nothing of it, and a link is removed, or has its time set back, as the
// link itself, never the file it points to (here a source).
TEST(HalfMadeTargets, DirectoriesAndLinksAreHandledAsWhatTheyAre) {
    struct Case {
        const char* name;
        const char* target;
        const char* commands;
        int status;
        const char* errors;
    };
    for (const Case& c : std::vector<Case>{
             {"InterruptedDirectory", "sub", "touch sub/x\n\tkill -INT $PPID", 128 + SIGINT, ""},
             {"FailedDirectory", "sub", "touch sub/x\n\tfalse", 1,
              "tarvo: sub: command failed with status 1\n"},
             {"InterruptedLink", "link", "ln -s source.c link\n\tkill -INT $PPID", 128 + SIGINT,
              "tarvo: link: removed, since its commands were interrupted\n"},
             {"FailedLink", "link", "ln -s source.c link\n\tfalse", 1,
              "tarvo: link: command failed with status 1\n"
              "tarvo: link: its time is set back, since its commands failed\n"}}) {
        Sandbox box;
        box.write("tarvo", std::string(c.target) + ": in\n\t" + c.commands + "\n");
        box.write("in", "");
        box.setTime("in", e2e::kBaseTime + 60);
        box.write("source.c", "int x;\n");
        box.setTime("source.c", e2e::kBaseTime + 30);
        box.makeDirectory("sub");
        box.setTime("sub", e2e::kBaseTime);
        const e2e::Result result = box.runKeepingErrors({c.target});
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.errors, c.errors) << c.name;
        EXPECT_EQ(box.modificationTime("source.c"), e2e::kBaseTime + 30) << c.name;
        if (std::string(c.target) == "sub") {
            // The directory keeps the time its commands gave it.
            EXPECT_GT(box.modificationTime("sub"), e2e::kBaseTime) << c.name;
        }
        struct stat link;
        const bool linked = lstat(box.pathOf("link").c_str(), &link) == 0;
        EXPECT_EQ(linked, std::string(c.name) == "FailedLink") << c.name;
        if (linked) {
            EXPECT_LT(link.st_mtime, e2e::kBaseTime) << "the link's own time is set back";
        }
    }
}
