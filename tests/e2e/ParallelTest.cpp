#include "e2e/E2eHarness.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using e2e::kBanner;
using e2e::Sandbox;

namespace {

using Names = std::vector<std::string>;

Names linesOf(const std::string& text) {
    Names lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::size_t indexOf(const Names& lines, const std::string& line) {
    return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

// A command that waits (ten seconds at most) until the other one has started:
// both can end well only when they run side by side. ("$(" would be a macro.)
std::string meet(const std::string& self, const std::string& other) {
    return "\t@sh -c 'touch " + self + ".here; i=0; while [ ! -e " + other +
           ".here ] && [ $i -lt 1000 ]; do sleep 0.01; i=`expr $i + 1`; done; [ -e " + other +
           ".here ]'\n";
}

TEST(Parallel, IndependentCommandsOverlap) {
    Sandbox box;
    // Each has a dependency: a target without any is a step that the walk
    // finishes before it decides what follows.
    box.write("tarvo", "all: a b\n\na: tarvo\n" + meet("a", "b") + "\nb: tarvo\n" + meet("b", "a"));
    const e2e::Result result = box.run({"-j2"});
    EXPECT_EQ(result.output, kBanner);
    EXPECT_EQ(result.status, 0);
}

TEST(Parallel, DependenciesEndBeforeDependentsStart) {
    std::string makefile =
        "all: top\n\ntop: a b\n\techo start top >> log\n\techo end top >> log\n\n";
    for (const char* name : {"a", "b"}) {
        makefile += std::string(name) + ": c\n\techo start " + name + " >> log\n\techo end " +
                    name + " >> log\n\n";
    }
    makefile += "c:\n\techo start c >> log\n\techo end c >> log\n";
    Sandbox box;
    box.write("tarvo", makefile);
    const e2e::Result result = box.run({"-j", "3"});
    EXPECT_EQ(result.status, 0);
    const Names log = linesOf(box.read("log"));
    ASSERT_EQ(log.size(), 8u) << box.read("log");
    // Made once each, although c is reached twice.
    EXPECT_EQ(std::count(log.begin(), log.end(), "start c"), 1);
    for (const char* name : {"a", "b"}) {
        EXPECT_LT(indexOf(log, "end c"), indexOf(log, std::string("start ") + name));
        EXPECT_LT(indexOf(log, std::string("end ") + name), indexOf(log, "start top"));
    }
}

TEST(Parallel, NeverMoreThanTheNumberOfJobs) {
    std::string makefile = "all: t1 t2 t3 t4 t5 t6\n\n";
    for (int i = 1; i <= 6; ++i) {
        const std::string name = "t" + std::to_string(i);
        makefile += name + ": tarvo\n\t@sh -c \"touch running." + name +
                    "; ls | grep -c '^running' >> counts; sleep 0.05; rm running." + name +
                    "\"\n\n";
    }
    Sandbox box;
    box.write("tarvo", makefile);
    EXPECT_EQ(box.run({"--jobs=2"}).status, 0);
    const Names counts = linesOf(box.read("counts"));
    ASSERT_EQ(counts.size(), 6u);
    for (const std::string& count : counts) {
        EXPECT_LE(std::stoi(count), 2);
    }
}

TEST(Parallel, OutputOfEachCommandStaysWhole) {
    const auto printer = [](const std::string& self, const std::string& other) {
        return "\t@sh -c 'touch " + self + ".here; while [ ! -e " + other +
               ".here ]; do sleep 0.01; done; for i in 1 2 3 4 5 6 7 8; do echo " + self +
               "$i; sleep 0.01; done'\n";
    };
    Sandbox box;
    box.write("tarvo",
              "all: a b\n\na: tarvo\n" + printer("a", "b") + "\nb: tarvo\n" + printer("b", "a"));
    const e2e::Result result = box.run({"/j2"});
    EXPECT_EQ(result.status, 0);
    const std::string a = "a1\na2\na3\na4\na5\na6\na7\na8\n";
    const std::string b = "b1\nb2\nb3\nb4\nb5\nb6\nb7\nb8\n";
    EXPECT_TRUE(result.output == kBanner + a + b || result.output == kBanner + b + a)
        << result.output;
}

std::string numbers(int first, int last) {
    std::string text;
    for (int i = first; i <= last; ++i) {
        text += std::to_string(i);
        text += '\n';
    }
    return text;
}

TEST(Parallel, LargeOutputsPassWholeThroughBoundedMemory) {
    // About 47 MB of output and 7 MB of errors, side by side. Held in memory
    // they would outgrow the limit; beyond a few megabytes they wait in
    // temporary files, which go once written.
    Sandbox box;
    box.write("tarvo", "all: out err\n\nout: tarvo\n\t@seq 1 6000000\n\n"
                       "err: tarvo\n\t@sh -c \"seq 1 1000000 >&2\"\n");
    e2e::RunOptions options;
    options.keepErrors = true;
    options.memoryLimit = 64L << 20;
    const e2e::Result result = box.run({"-j2"}, Sandbox::defaultEnvironment(), options);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.output == kBanner + numbers(1, 6000000)) << result.output.size();
    EXPECT_TRUE(result.errors == numbers(1, 1000000)) << result.errors.size();
    EXPECT_EQ(box.list(), Names{"tarvo"});
}

TEST(Parallel, FailureStopsNewStartsWithTheFirstCode) {
    Sandbox box;
    box.write("tarvo", "all: bad slow later\n\nbad: tarvo\n\tsh -c \"exit 4\"\n\n"
                       "slow: tarvo\n\tsh -c \"sleep 0.3; echo slow done\"\n\n"
                       "later: bad\n\techo never\n");
    const e2e::Result result = box.run({"-j2"});
    EXPECT_EQ(result.status, 4);
    EXPECT_EQ(result.output, std::string(kBanner) + "sh -c \"exit 4\" \n"
                                                    "sh -c \"sleep 0.3; echo slow done\" \n"
                                                    "slow done\n");
}

// x's first command lasts until the failing shell has ended and been waited
// for, so that tarvo has seen the failure before x's second command is due.
TEST(Parallel, AStartedJobFinishesItsCommandsAfterAnotherFails) {
    Sandbox box;
    box.write(
        "tarvo",
        "all: bad x\n\nbad: tarvo\n\t@sh -c \"echo $$ > bad.new; mv bad.new bad.pid; exit 4\"\n\n"
        "x: tarvo\n\t@sh -c 'echo first-half > x; i=0; while [ ! -e bad.pid ] || "
        "kill -0 `cat bad.pid` 2>/dev/null; do [ $i -lt 1000 ] || exit 9; sleep 0.01; "
        "i=`expr $i + 1`; done'\n"
        "\t@echo whole > x\n");
    const e2e::Result result = box.run({"-j2"});
    EXPECT_EQ(result.output, kBanner);
    EXPECT_EQ(result.status, 4);
    EXPECT_EQ(box.read("x"), "whole\n");
}

// The one-job run makes all of the first target before it finds that the
// second has no rule; so does a run of several jobs.
TEST(Parallel, TargetWithoutRuleEndsTheRunOnceTheJobsBeforeItHaveEnded) {
    Sandbox box;
    box.write("tarvo", "first:\n\techo one\n\techo two\n");
    const std::string made =
        std::string(kBanner) + "echo one \none\necho two \ntwo\nError (tarvo):  No rule for nosuch";
    for (const Names& arguments : {Names{"first", "nosuch"}, Names{"-j2", "first", "nosuch"}}) {
        const e2e::Result result = box.run(arguments);
        EXPECT_EQ(result.output, made) << arguments.front();
        EXPECT_EQ(result.status, 1) << arguments.front();
    }
}

TEST(Parallel, InterruptStopsEveryCommand) {
    Sandbox box;
    box.write("tarvo",
              "all: a b\n\techo never\n\na: tarvo\n\t@sh -c \"echo $$ > a.new; mv a.new a.pid; "
              "exec sleep 30\"\n"
              "\nb: tarvo\n\t@sh -c \"echo $$ > b.new; mv b.new b.pid; exec sleep 30\"\n");
    e2e::Running running = box.start({"-j2"});
    ASSERT_TRUE(running.waitForFile(box.pathOf("a.pid")));
    ASSERT_TRUE(running.waitForFile(box.pathOf("b.pid")));
    running.signal(SIGINT);
    const e2e::Result result = running.finish();
    EXPECT_EQ(result.status, 128 + SIGINT);
    for (const char* name : {"a.pid", "b.pid"}) {
        const int pid = std::stoi(box.read(name));
        EXPECT_NE(kill(pid, 0), 0) << name << " still runs";
    }
    EXPECT_EQ(box.list(), (Names{"a.pid", "b.pid", "tarvo"}));
}

// Commands started side by side get the signal mask that tarvo started with,
// whether started directly or through the shell, as a lone command does; a
// command that ends by a signal fails.
TEST(Parallel, CommandsStartWithTheSignalMaskOfTheRun) {
    Sandbox box;
    box.write("tarvo", "all:\n\tgrep SigBlk /proc/self/status\n"
                       "\tcat /proc/self/status | grep SigBlk\n\t./self-kill.sh\n");
    box.write("self-kill.sh", "#!/bin/sh\nkill -TERM $$\n");
    box.setMode("self-kill.sh", 0755);
    for (const char* jobs : {"-j1", "-j2"}) {
        const e2e::Result result = box.run({jobs});
        EXPECT_EQ(result.output, std::string(kBanner) +
                                     "grep SigBlk /proc/self/status \nSigBlk:\t0000000000000000\n"
                                     "cat /proc/self/status | grep SigBlk \n"
                                     "SigBlk:\t0000000000000000\n./self-kill.sh \n")
            << jobs;
        EXPECT_EQ(result.status, 128 + SIGTERM) << jobs;
    }
}

// The state of a process as /proc shows it ('T' when stopped); polled for ten
// seconds at most until it is (or is not) the one given.
bool reachesState(const std::string& processId, char state, bool wanted) {
    for (int i = 0; i < 2000; ++i) {
        std::string stat;
        std::getline(std::ifstream("/proc/" + processId + "/stat"), stat);
        const std::size_t close = stat.rfind(')');
        if (close != std::string::npos && close + 2 < stat.size() &&
            (stat[close + 2] == state) == wanted) {
            return true;
        }
        const struct timespec pause = {0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    return false;
}

// Ctrl-Z stops tarvo and also the commands that run in groups of their own,
// which the terminal does not reach; continued, tarvo continues them all.
TEST(Parallel, CtrlZStopsAndContinuesEveryCommand) {
    Sandbox box;
    box.write("tarvo", "all: a b\n\na: tarvo\n\t./run.sh a\n\nb: tarvo\n\t./run.sh b\n");
    box.write("run.sh", "#!/bin/sh\necho $$ > $1.new && mv $1.new $1.pid\nexec sleep 30\n");
    box.setMode("run.sh", 0755);
    e2e::Running run = box.start({"-j2"});
    ASSERT_TRUE(run.waitForFile(box.pathOf("a.pid")));
    ASSERT_TRUE(run.waitForFile(box.pathOf("b.pid")));
    const std::string commands[] = {linesOf(box.read("a.pid"))[0], linesOf(box.read("b.pid"))[0]};
    run.signalGroup(SIGTSTP);
    ASSERT_TRUE(run.waitUntilStopped());
    for (const std::string& command : commands) {
        EXPECT_TRUE(reachesState(command, 'T', true)) << "a command runs on";
    }
    run.signal(SIGCONT);
    for (const std::string& command : commands) {
        EXPECT_TRUE(reachesState(command, 'T', false)) << "a command stays stopped";
    }
    run.signalGroup(SIGINT);
    EXPECT_EQ(run.finish().status, 128 + SIGINT);
}

// Started with SIGCHLD ignored, tarvo still learns how its commands ended,
// and they start with it ignored too, as tarvo was given it.
TEST(Parallel, StartedWithChildSignalIgnored) {
    Sandbox box;
    box.write("tarvo", "all:\n\tgrep SigIgn /proc/self/status\n\tfalse\n");
    e2e::RunOptions options;
    options.childSignalIgnored = true;
    for (const char* jobs : {"-j1", "-j2"}) {
        const e2e::Result result = box.run({jobs}, Sandbox::defaultEnvironment(), options);
        const std::string echo = std::string(kBanner) + "grep SigIgn /proc/self/status \nSigIgn:\t";
        ASSERT_EQ(result.output.substr(0, echo.size()), echo) << jobs << result.output;
        const std::string mask = result.output.substr(echo.size(), 16);
        EXPECT_NE(std::stoull(mask, nullptr, 16) & (1ULL << (SIGCHLD - 1)), 0u) << jobs << mask;
        EXPECT_EQ(result.output.substr(echo.size() + 16), "\nfalse \n") << jobs;
        EXPECT_EQ(result.status, 1) << jobs;
    }
}

// Whether a process of that name runs with the directory as its current one.
bool runsIn(const std::string& directory, const std::string& name) {
    char resolved[PATH_MAX];
    if (realpath(directory.c_str(), resolved) == nullptr) {
        return false;
    }
    std::unique_ptr<DIR, int (*)(DIR*)> processes(opendir("/proc"), closedir);
    while (const dirent* entry = processes ? readdir(processes.get()) : nullptr) {
        const std::string process = std::string("/proc/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(process + "/comm"), comm);
        char cwd[PATH_MAX];
        const ssize_t length = readlink((process + "/cwd").c_str(), cwd, sizeof cwd);
        if (comm == name && length > 0 && std::string(cwd, length) == resolved) {
            return true;
        }
    }
    return false;
}

// Polls, for ten seconds at most, until a `sleep` runs in the directory or
// none does any more; whether that came.
bool sleepRunsIn(const std::string& directory, bool runs) {
    for (int i = 0; i < 2000; ++i) {
        if (runsIn(directory, "sleep") == runs) {
            return true;
        }
        const struct timespec pause = {0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    return false;
}

// Ctrl-C ends a command that tarvo started directly (no shell in between,
// which would unblock signals of its own), not only the run once the command
// has ended by itself.
TEST(Parallel, CtrlCEndsACommandStartedDirectly) {
    for (const char* jobs : {"-j1", "-j2"}) {
        Sandbox box;
        box.write("tarvo", "all:\n\tsleep 30\n\ttouch after\n");
        e2e::Running running = box.start({jobs});
        ASSERT_TRUE(sleepRunsIn(box.path(), true)) << jobs;
        running.signalGroup(SIGINT);
        EXPECT_TRUE(sleepRunsIn(box.path(), false)) << jobs << ": the sleep lives on";
        const e2e::Result result = running.finish();
        EXPECT_EQ(result.output, std::string(kBanner) + "sleep 30 \n") << jobs;
        EXPECT_EQ(result.status, 128 + SIGINT) << jobs;
        EXPECT_EQ(box.list(), Names{"tarvo"}) << jobs;
    }
}

// The reader of tarvo's output quits (tarvo -j2 | head -1) while one command
// runs; writing what the other one printed meets the closed pipe. That
// command's next line must not start, though the first command still runs.
TEST(Parallel, NothingStartsAfterAnInterrupt) {
    Sandbox box;
    box.write("tarvo", "all: a b\n\na: tarvo\n\t./slow.sh\n\n"
                       "b: tarvo\n\t./gate.sh\n\ttouch after\n");
    box.write("slow.sh", "#!/bin/sh\n: > a.here\nsleep 30\n");
    box.write("gate.sh", "#!/bin/sh\n: > b.here\nread line < gate\n");
    box.setMode("slow.sh", 0755);
    box.setMode("gate.sh", 0755);
    ASSERT_EQ(mkfifo(box.pathOf("gate").c_str(), 0600), 0);
    e2e::Running running = box.start({"-j2"});
    ASSERT_TRUE(running.waitForFile(box.pathOf("a.here")));
    ASSERT_TRUE(running.waitForFile(box.pathOf("b.here")));
    running.closeOutput();
    {
        std::ofstream gate(box.pathOf("gate"));
        gate << "go\n";
    }
    const e2e::Result result = running.finish();
    EXPECT_EQ(result.status, 128 + SIGPIPE);
    EXPECT_EQ(box.list(), (Names{"a.here", "b.here", "gate", "gate.sh", "slow.sh", "tarvo"}));
}

// The jobserver. Its peers here are the test itself (an outer jobserver of
// our own: a fifo with tokens) and shell scripts (clients of tarvo's).

// A work step for the makefiles below: it marks itself running in the
// sandbox, waits (ten seconds at most) until `need` steps run, and writes its
// name and how many it saw run to "counts". It runs on until the others of
// its `need` have seen as many, however slow the machine.
const char kWorkScript[] =
    "#!/bin/sh\ncd `dirname $0`\ntouch running.$1\ni=0\nn=`ls | grep -c '^running\\.'`\n"
    "while [ $n -lt $2 ] && [ $i -lt 1000 ]; do sleep 0.01; i=`expr $i + 1`; "
    "n=`ls | grep -c '^running\\.'`; done\necho $1 $n >> counts\ntouch seen.$2.$1\ni=0\n"
    "while [ `ls | grep -c \"^seen\\.$2\\.\"` -lt $2 ] && [ $i -lt 1000 ]; do sleep 0.01; "
    "i=`expr $i + 1`; done\nsleep 0.05\nrm running.$1\n";

std::string work(const Sandbox& box, const std::string& name, int need = 1) {
    return name + ": tarvo\n\t@sh " + box.pathOf("work.sh") + " " + name + " " +
           std::to_string(need) + "\n\n";
}

// The environment with temporary files in the sandbox's "tmp", where the fifo goes.
Names withTemporaryDirectory(const Sandbox& box,
                             Names environment = Sandbox::defaultEnvironment()) {
    box.makeDirectory("tmp");
    environment.push_back("TMPDIR=" + box.pathOf("tmp"));
    return environment;
}

int mostAtOnce(const Sandbox& box) {
    int most = 0;
    for (const std::string& line : linesOf(box.read("counts"))) {
        most = std::max(most, std::stoi(line.substr(line.find(' ') + 1)));
    }
    return most;
}

TEST(Jobserver, RecursiveBuildSharesTheSlotsOfTheTop) {
    Sandbox box;
    box.write("work.sh", kWorkScript);
    // Three levels, each with five steps beside "cd sub && $(MAKE)"; the
    // deepest has four that can end only when all four run at once.
    const std::string recurse = "sub:\n\t@cd sub && $(MAKE)\n\n";
    std::string top = "all: sub t1 t2 t3 t4 t5\n\n" + recurse;
    std::string middle = "all: sub m1 m2 m3 m4 m5\n\n" + recurse;
    std::string deepest = "all: d1 d2 d3 d4\n\n";
    for (int i = 1; i <= 5; ++i) {
        top += work(box, "t" + std::to_string(i));
        middle += work(box, "m" + std::to_string(i));
        deepest += i < 5 ? work(box, "d" + std::to_string(i), 4) : "";
    }
    box.makeDirectory("sub");
    box.makeDirectory("sub/sub");
    box.write("tarvo", top);
    box.write("sub/tarvo", middle);
    box.write("sub/sub/tarvo", deepest);
    const e2e::Result result = box.run({"-j4"}, withTemporaryDirectory(box));
    EXPECT_EQ(result.output, std::string(kBanner) + kBanner + kBanner);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(linesOf(box.read("counts")).size(), 14u);
    EXPECT_EQ(mostAtOnce(box), 4);
    // The deepest level, two runs below the top, ran four at once.
    for (const char* step : {"d1 4", "d2 4", "d3 4", "d4 4"}) {
        EXPECT_LT(indexOf(linesOf(box.read("counts")), step), 14u) << step << "\n"
                                                                   << box.read("counts");
    }
    EXPECT_TRUE(box.list("tmp").empty()) << "the fifo is left behind";
}

// GNU make (4.3 and later) as a peer: under tarvo, above it, and between two.
bool haveGnuMake() {
    for (const char* directory : {"/usr/local/bin", "/usr/bin", "/bin"}) {
        if (access((std::string(directory) + "/make").c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

TEST(GnuMake, SubBuildUnderTarvoTakesItsSlots) {
    if (!haveGnuMake()) {
        GTEST_SKIP() << "no GNU make";
    }
    Sandbox box;
    box.write("work.sh", kWorkScript);
    // a and b end well only side by side: GNU make runs them with the one
    // token of tarvo's -j2, and never all three at once.
    const std::string step = ":\n\t@sh " + box.pathOf("work.sh") + " ";
    box.makeDirectory("sub");
    box.write("sub/Makefile", "all: a b c\na" + step + "a 2\nb" + step + "b 2\nc" + step + "c 1\n");
    box.write("tarvo", "all:\n\t@make -s -C sub\n");
    const e2e::Result result = box.run({"-j2"}, withTemporaryDirectory(box));
    EXPECT_EQ(result.output, kBanner);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(mostAtOnce(box), 2);
}

TEST(GnuMake, TarvoUnderMakeTakesItsSlots) {
    if (!haveGnuMake()) {
        GTEST_SKIP() << "no GNU make";
    }
    Sandbox box;
    box.write("work.sh", kWorkScript);
    // The "+" hands GNU make's jobserver on; tarvo runs three at once with it.
    box.write("tarvo", "all:\n\t@make -s -j3 -f gnu.mk TARVO=$(MAKE)\n");
    box.write("gnu.mk", "all:\n\t+@cd sub && $(TARVO)\n");
    box.makeDirectory("sub");
    box.write("sub/tarvo",
              "all: a b c\n\n" + work(box, "a", 3) + work(box, "b", 3) + work(box, "c", 3));
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, std::string(kBanner) + kBanner);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(mostAtOnce(box), 3);
}

// make -n runs the "+" command that starts tarvo: tarvo prints what it would
// run, and runs nothing.
TEST(GnuMake, DryRunAboveTarvoRunsNothingInIt) {
    if (!haveGnuMake()) {
        GTEST_SKIP() << "no GNU make";
    }
    Sandbox box;
    box.write("tarvo", "all:\n\t@make -s -n -f gnu.mk TARVO=$(MAKE)\n");
    box.write("gnu.mk", "all:\n\t+cd sub && $(TARVO)\n");
    box.makeDirectory("sub");
    box.write("sub/tarvo", "all:\n\ttouch made\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, std::string(kBanner) + "cd sub && " + TARVO_BINARY + "\n" + kBanner +
                                 "touch made \n");
    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(box.exists("sub/made"));
}

// --keep-going reaches a GNU make below, whose k reaches a tarvo below it:
// each level goes on past its own failure.
TEST(GnuMake, KeepGoingReachesEveryLevel) {
    if (!haveGnuMake()) {
        GTEST_SKIP() << "no GNU make";
    }
    Sandbox box;
    box.write("tarvo", "all:\n\t@make -s -C mid TARVO=$(MAKE)\n");
    box.makeDirectory("mid");
    box.write("mid/Makefile",
              ".PHONY: sub\nall: bad sub\nbad:\n\t@false\nsub:\n\t+@cd sub && $(TARVO)\n");
    box.makeDirectory("mid/sub");
    box.write("mid/sub/tarvo", "all: bad good\n\nbad:\n\t@sh -c \"exit 3\"\n\n"
                               "good:\n\t@touch good\n");
    const e2e::Result result = box.runKeepingErrors({"--keep-going"});
    EXPECT_EQ(result.output, std::string(kBanner) + kBanner);
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(box.exists("mid/sub/good"));
}

// No -j can make tarvo wait on its own jobserver: the tokens are as many as
// its pipe holds.
TEST(Jobserver, AnyNumberOfJobsStartsAtOnce) {
    for (const char* style : {"--jobserver-style=pipe", "--jobserver-style=fifo"}) {
        Sandbox box;
        box.write("tarvo", "all:\n\t@touch ran\n");
        e2e::Running running = box.start({"-j", "999999", style}, withTemporaryDirectory(box));
        EXPECT_TRUE(running.waitForFile(box.pathOf("ran"), 60)) << style;
        running.signal(SIGKILL);
        running.finish();
    }
}

// An outer jobserver of `tokens` tokens: a fifo in the sandbox that the test
// holds open for the time of the test.
class OuterJobserver {
  public:
    OuterJobserver(const Sandbox& box, int tokens) : path_(box.pathOf("outer.fifo")) {
        EXPECT_EQ(mkfifo(path_.c_str(), 0600), 0);
        fd_ = open(path_.c_str(), O_RDWR | O_NONBLOCK);
        EXPECT_EQ(write(fd_, std::string(static_cast<std::size_t>(tokens), 't').data(),
                        static_cast<std::size_t>(tokens)),
                  tokens);
    }
    ~OuterJobserver() { close(fd_); }
    Names environment() const {
        Names environment = Sandbox::defaultEnvironment();
        environment.push_back("MAKEFLAGS=-j3 --jobserver-auth=fifo:" + path_);
        return environment;
    }
    // The tokens in the fifo now, taken and put back.
    std::string tokens() const {
        char bytes[64];
        const ssize_t got = read(fd_, bytes, sizeof bytes);
        const std::string taken(bytes, got > 0 ? static_cast<std::size_t>(got) : 0);
        EXPECT_EQ(write(fd_, taken.data(), taken.size()), got > 0 ? got : 0);
        return taken;
    }

  private:
    std::string path_;
    int fd_ = -1;
};

TEST(Jobserver, ClientOfAnOuterJobserverRunsAsManyAsItsSlots) {
    Sandbox box;
    box.write("work.sh", kWorkScript);
    std::string makefile = "all: w1 w2 w3 w4 w5 w6\n\n";
    for (int i = 1; i <= 6; ++i) {
        makefile += work(box, "w" + std::to_string(i), i <= 3 ? 3 : 1);
    }
    box.write("tarvo", makefile);
    const OuterJobserver outer(box, 2);
    EXPECT_EQ(box.run({}, outer.environment()).status, 0);
    EXPECT_EQ(mostAtOnce(box), 3);
    EXPECT_EQ(outer.tokens(), "tt");

    // Every token comes back after a failure, and after an interrupt.
    box.write("tarvo", "all: a b c\n\na: tarvo\n\tsh -c \"exit 3\"\n\nb: tarvo\n\tsleep 0.2\n\n"
                       "c: tarvo\n\tsleep 0.2\n");
    EXPECT_EQ(box.run({}, outer.environment()).status, 3);
    EXPECT_EQ(outer.tokens(), "tt");
    box.write("tarvo", "all: a b c\n\na: tarvo\n\t@sh -c \"touch a.here; exec sleep 30\"\n\n"
                       "b: tarvo\n\t@sh -c \"touch b.here; exec sleep 30\"\n\n"
                       "c: tarvo\n\t@sh -c \"touch c.here; exec sleep 30\"\n");
    e2e::Running running = box.start({}, outer.environment());
    for (const char* name : {"a.here", "b.here", "c.here"}) {
        ASSERT_TRUE(running.waitForFile(box.pathOf(name)));
    }
    EXPECT_EQ(outer.tokens(), "");
    running.signal(SIGINT);
    EXPECT_EQ(running.finish().status, 128 + SIGINT);
    EXPECT_EQ(outer.tokens(), "tt");
}

TEST(Jobserver, EveryClientGetsThePipeFormByDefault) {
    for (const Names& style : {Names{}, Names{"--jobserver-style=pipe"}}) {
        Sandbox box;
        box.write("work.sh", kWorkScript);
        // A client of the oldest protocol: it takes both tokens with blocking
        // reads and gives them back.
        box.write("client.sh", "#!/bin/sh\nauth=${MAKEFLAGS##*--jobserver-fds=}\n"
                               "r=${auth%%,*}\nw=${auth##*,}\n"
                               "echo \"$MAKEFLAGS\" | sed 's/=[0-9]*,[0-9]*/=R,W/g'\n"
                               "a=`dd bs=1 count=1 <&$r 2>/dev/null`\n"
                               "b=`dd bs=1 count=1 <&$r 2>/dev/null`\n"
                               "echo took $a$b\nprintf %s \"$a$b\" >&$w\n");
        // Then a tarvo of the same form: three steps that need the two tokens.
        box.write("tarvo", "all: client sub\n\nclient:\n\t@sh client.sh\n\n"
                           "sub:\n\t@cd sub && $(MAKE)\n");
        box.makeDirectory("sub");
        box.write("sub/tarvo",
                  "all: a b c\n\n" + work(box, "a", 3) + work(box, "b", 3) + work(box, "c", 3));
        Names arguments = style;
        arguments.push_back("-j3");
        const e2e::Result result = box.run(arguments, withTemporaryDirectory(box));
        EXPECT_EQ(result.output, std::string(kBanner) +
                                     "-j --jobserver-auth=R,W --jobserver-fds=R,W\ntook ++\n" +
                                     kBanner);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(mostAtOnce(box), 3);
        EXPECT_TRUE(box.list("tmp").empty());
    }
}

TEST(Jobserver, FifoGoesAfterAFailureAndAnInterrupt) {
    Sandbox box;
    const Names environment = withTemporaryDirectory(box);
    const Names fifo = {"--jobserver-style=fifo", "-j4"};
    box.write("tarvo", "all: a b\n\na: tarvo\n\tsh -c \"exit 2\"\n\nb: tarvo\n\tsleep 0.1\n");
    EXPECT_EQ(box.run(fifo, environment).status, 2);
    EXPECT_TRUE(box.list("tmp").empty());
    box.write("tarvo", "all: a b\n\na: tarvo\n\t@sh -c \"touch a.here; exec sleep 30\"\n\n"
                       "b: tarvo\n\t@sh -c \"touch b.here; exec sleep 30\"\n");
    e2e::Running running = box.start(fifo, environment);
    ASSERT_TRUE(running.waitForFile(box.pathOf("a.here")));
    ASSERT_TRUE(running.waitForFile(box.pathOf("b.here")));
    EXPECT_EQ(box.list("tmp").size(), 1u);
    running.signalGroup(SIGINT);
    EXPECT_EQ(running.finish().status, 128 + SIGINT);
    EXPECT_TRUE(box.list("tmp").empty());
    // The next run works.
    box.write("tarvo", "all: a\n\na: tarvo\n\t@sh show.sh\n");
    box.write("show.sh", "echo \"$MAKEFLAGS\" | cut -c1-26\n");
    EXPECT_EQ(box.run(fifo, environment).output,
              std::string(kBanner) + "-j4 --jobserver-auth=fifo:\n");
}

TEST(Jobserver, UnopenedJobserverIsIgnoredWithANote) {
    Sandbox box;
    box.write("tarvo", "all:\n\techo $(MAKEFLAGS)\n");
    Names environment = Sandbox::defaultEnvironment();
    environment.push_back("MAKEFLAGS=-j3 --jobserver-auth=fifo:" + box.pathOf("none"));
    e2e::RunOptions options;
    options.keepErrors = true;
    const e2e::Result result = box.run({}, environment, options);
    EXPECT_EQ(result.output, std::string(kBanner) + "echo -j3 \n-j3\n");
    const std::string flags = "-j3 --jobserver-auth=fifo:" + box.pathOf("none");
    EXPECT_EQ(result.errors,
              "tarvo: tarvo, line 2: $(MAKEFLAGS) is \"-j3\", the first word of the environment "
              "variable; \"$MAKEFLAGS\" in a command gives its whole value, \"" +
                  flags + "\"\ntarvo: jobserver " + box.pathOf("none") +
                  " ignored: No such file or directory\n");

    // Descriptors that a parent did not hand on, and ones that hold something
    // else: the note says which, and what mends the first.
    const struct {
        const char* opens;
        const char* why;
    } kCases[] = {
        {"",
         "its descriptors are not open here; GNU make closes them for a command that it does not "
         "take for a sub-build: begin that command with \"+\" in the parent makefile, or let it "
         "use $(MAKE)"},
        {"8<tarvo 9<tarvo",
         "descriptor 8 is open here, but not a pipe: the parent's jobserver did not reach tarvo"},
    };
    for (const auto& c : kCases) {
        box.write("inner.sh", std::string("MAKEFLAGS='-j3 --jobserver-auth=8,9' exec \"$1\" -f "
                                          "inner.mk ") +
                                  c.opens + "\n");
        box.write("inner.mk", "inner:\n\t@echo inner\n");
        box.write("tarvo", "all:\n\t@sh inner.sh $(MAKE)\n");
        const e2e::Result noted = box.runKeepingErrors({});
        EXPECT_EQ(noted.output, std::string(kBanner) + kBanner + "inner\n");
        EXPECT_EQ(noted.errors, std::string("tarvo: jobserver 8,9 ignored: ") + c.why + "\n");
    }
}

TEST(Jobserver, WaitAndDependencyOrderLetAuthorsOrderSteps) {
    Sandbox box;
    // .WAIT: b starts when a has ended, though neither depends on the other;
    // it is no dependency, for $@ neither.
    box.write("tarvo", "all: a .WAIT b\n\techo $@\n\na: tarvo\n\t@echo start a >> log\n"
                       "\t@sleep 0.1\n\t@echo end a >> log\n\n"
                       "b: tarvo\n\t@echo start b >> log\n");
    for (const char* jobs : {"-j2", "-j1"}) {
        box.write("log", "");
        const e2e::Result result = box.runKeepingErrors({jobs});
        EXPECT_EQ(result.output, std::string(kBanner) + "echo a b \na b\n");
        EXPECT_EQ(result.errors, "");
        EXPECT_EQ(box.read("log"), "start a\nend a\nstart b\n");
    }
    // Steps without dependencies run side by side where the makefile says
    // only dependencies order them.
    const std::string steps =
        "all: s1 s2\n\ns1:\n" + meet("s1", "s2") + "\ns2:\n" + meet("s2", "s1");
    box.write("tarvo", "TARVO_ORDER = dependencies\n" + steps);
    EXPECT_EQ(box.run({"-j2"}).status, 0);
}

// -j1, in each of its spellings, is the run of one job at a time that no option
// gives; -j2 shows that the two kinds of run can be told apart.
struct JobsCase {
    const char* name;
    std::vector<std::string> options;
    bool sideBySide;
};

const JobsCase kJobsCases[] = {
    {"NoOption", {}, false},          {"DashJ1", {"-j1"}, false},
    {"SlashJ1", {"/j1"}, false},      {"DashJSpace1", {"-j", "1"}, false},
    {"JobsIs1", {"--jobs=1"}, false}, {"DashJ2", {"-j2"}, true},
};

class OneJob : public ::testing::TestWithParam<JobsCase> {};

// One job at a time, a command's echo line is out before the command starts;
// side by side it comes with the command's output when the command ends.
TEST_P(OneJob, EchoesEachCommandBeforeItStarts) {
    Sandbox box;
    box.write("tarvo", "all: a\n\na: tarvo\n\tcat log > seen\n");
    e2e::RunOptions options;
    options.standardOutput = box.pathOf("log");
    EXPECT_EQ(box.run(GetParam().options, Sandbox::defaultEnvironment(), options).status, 0);
    const std::string echo = "cat log > seen \n";
    EXPECT_EQ(box.read("log"), kBanner + echo);
    EXPECT_EQ(box.read("seen"), GetParam().sideBySide ? kBanner : kBanner + echo);
}

// After a failure no further command starts; side by side, the other one had
// started already, and ends later.
TEST_P(OneJob, FailureEndsTheRunAtOnce) {
    Sandbox box;
    box.write("tarvo", "all: bad other\n\nbad: tarvo\n\tsh -c \"exit 4\"\n\n"
                       "other: tarvo\n\t@sh -c \"sleep 0.3; echo other\"\n");
    const e2e::Result result = box.run(GetParam().options);
    EXPECT_EQ(result.status, 4);
    const std::string failed = std::string(kBanner) + "sh -c \"exit 4\" \n";
    EXPECT_EQ(result.output, GetParam().sideBySide ? failed + "other\n" : failed);
}

INSTANTIATE_TEST_SUITE_P(Parallel, OneJob, ::testing::ValuesIn(kJobsCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
