#include "e2e/E2eHarness.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
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

} // namespace
