#include "E2eHarness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

using e2e::kBanner;
using e2e::kBaseTime;
using e2e::Sandbox;

// Objects are made from their sources without comment lines, so that a new
// comment makes the object again with the same content.
const char* const kMakefile = "TARVO_DEPFILE = $*.d\n"
                              "CFLAGS = -O2\n\n"
                              "app: a.o b.o\n\tcat a.o b.o > app\n\n"
                              ".c.o:\n\techo $(CFLAGS) > $*.o; grep -v \"^#\" $*.c >> $*.o\n";
const char* const kMakeA = "echo -O2 > a.o; grep -v \"^#\" a.c >> a.o \n";
const char* const kMakeB = "echo -O2 > b.o; grep -v \"^#\" b.c >> b.o \n";
const char* const kMakeApp = "cat a.o b.o > app \n";
// After the full build, whenever the tests run.
const std::time_t kLater = std::time(nullptr) + 3600;

struct RecordCase {
    const char* name;
    // TARVO_RECORD on the command line of both runs; empty: none is kept.
    std::string record;
    // What happens between the full build and the run looked at.
    std::function<void(const Sandbox&)> change;
    std::vector<std::string> arguments;
    std::string output; // after the banner
    // A line that standard error holds; empty: nothing is looked for.
    std::string said;
    int status;
    // The record after the run: "written" (and not empty), "kept" as it was,
    // or "none".
    std::string after;
};

TEST(Record, DecidesByContentAndCommand) {
    const RecordCase cases[] = {
        {"CommandChanged",
         ".rec",
         [](const Sandbox&) {},
         {"CFLAGS=-O0", "--explain"},
         "echo -O0 > a.o; grep -v \"^#\" a.c >> a.o \n"
         "echo -O0 > b.o; grep -v \"^#\" b.c >> b.o \n" +
             std::string(kMakeApp),
         "tarvo: a.o: its command changed\n",
         0,
         "written"},
        {"TouchedWithoutChange",
         ".rec",
         [](const Sandbox& box) {
             for (const char* name : {"a.c", "b.c", "a.h"}) {
                 box.setTime(name, kLater);
             }
         },
         {},
         "",
         "tarvo: app is up to date\n",
         0,
         "written"},
        {"OlderWithOtherContent",
         ".rec",
         [](const Sandbox& box) {
             box.write("a.c", "restored\n");
             box.setTime("a.c", kBaseTime - 100);
         },
         {"--explain"},
         std::string(kMakeA) + kMakeApp,
         "tarvo: a.o: the content of a.c changed\n",
         0,
         "written"},
        {"MadeAgainWithTheSameContent",
         ".rec",
         [](const Sandbox& box) {
             box.write("a.c", "int a;\n# a comment\n");
             box.setTime("a.c", kLater);
         },
         {"--explain"},
         kMakeA,
         "tarvo: app: a.o was made again with the same content\n",
         0,
         "written"},
        {"MadeAgainWithTheSameContentTwoJobs",
         ".rec",
         [](const Sandbox& box) {
             box.write("a.c", "int a;\n# a comment\n");
             box.setTime("a.c", kLater);
         },
         {"-j2", "--explain"},
         kMakeA,
         "tarvo: app: a.o was made again with the same content\n",
         0,
         "written"},
        {"ListedHeaderGone",
         ".rec",
         [](const Sandbox& box) { box.write("a.d", "a.o: a.c gone.h\n"); },
         {"--explain"},
         kMakeA,
         "tarvo: a.o: the content of gone.h changed\n",
         0,
         "written"},
        // Without the record, times alone decide, as ever.
        {"TimesTouched",
         "",
         [](const Sandbox& box) { box.setTime("a.c", kLater); },
         {},
         std::string(kMakeA) + kMakeApp,
         "",
         0,
         "none"},
        {"TimesCommandChanged",
         "",
         [](const Sandbox&) {},
         {"CFLAGS=-O0"},
         "",
         "tarvo: app is up to date\n",
         0,
         "none"},
        {"Damaged",
         ".rec",
         [](const Sandbox& box) {
             box.write(".rec", "not a record\n");
             box.setTime("a.c", kLater);
         },
         {"--strict"},
         std::string(kMakeA) + kMakeApp,
         "tarvo: the build record .rec is damaged (line 1); it is started anew\n",
         1,
         "written"},
        {"DryRunWritesNothing",
         ".rec",
         [](const Sandbox& box) { box.setTime("a.c", kLater); },
         {"--dry-run", "CFLAGS=-O0"},
         std::string("echo -O0 > a.o; grep -v \"^#\" a.c >> a.o \n"
                     "echo -O0 > b.o; grep -v \"^#\" b.c >> b.o \n") +
             kMakeApp,
         "",
         0,
         "kept"},
        {"CannotBeWritten",
         "gone/.rec",
         [](const Sandbox& box) { box.setTime("b.c", kLater); },
         {},
         std::string(kMakeB) + kMakeApp,
         "tarvo: the build record gone/.rec cannot be",
         0,
         "none"},
    };
    for (const RecordCase& c : cases) {
        Sandbox box;
        box.write("tarvo", kMakefile);
        box.write("a.c", "int a;\n");
        box.write("b.c", "int b;\n");
        box.write("a.h", "");
        box.write("a.d", "a.o: a.c a.h\n");
        for (const char* name : {"a.c", "b.c", "a.h", "a.d"}) {
            box.setTime(name, kBaseTime);
        }
        std::vector<std::string> first;
        if (!c.record.empty()) {
            first.push_back("TARVO_RECORD=" + c.record);
        }
        ASSERT_EQ(box.run(first).output, kBanner + std::string(kMakeA) + kMakeB + kMakeApp)
            << c.name;
        const std::string before = box.exists(".rec") ? box.read(".rec") : std::string();
        c.change(box);
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), first.begin(), first.end());
        e2e::RunOptions options;
        options.keepErrors = true;
        const e2e::Result result = box.run(arguments, Sandbox::defaultEnvironment(), options);
        EXPECT_EQ(result.output, kBanner + c.output) << c.name;
        EXPECT_NE(result.errors.find(c.said), std::string::npos) << c.name << "\n" << result.errors;
        EXPECT_EQ(result.status, c.status) << c.name;
        const std::string after = box.exists(".rec") ? box.read(".rec") : std::string();
        EXPECT_EQ(after.empty() ? "none" : after == before ? "kept" : "written", c.after) << c.name;
    }
}

// An interrupt keeps the record whole, with the targets whose commands ended.
TEST(Record, InterruptedRunKeepsWhatEnded) {
    Sandbox box;
    box.write("tarvo", "TARVO_RECORD = .rec\n\n"
                       "two: one\n\ttouch two.started; cp one two; sleep 30\n\n"
                       "one: one.c\n\tcp one.c one\n");
    box.write("one.c", "1\n");
    box.setTime("one.c", kBaseTime);
    e2e::Running running = box.start({});
    ASSERT_TRUE(running.waitForFile(box.pathOf("two.started"), 60));
    running.signalGroup(SIGINT);
    const e2e::Result interrupted = running.finish();
    EXPECT_NE(interrupted.status, 0);
    EXPECT_FALSE(box.exists("two"));
    // one is known: a new time of its source makes nothing.
    box.setTime("one.c", kLater);
    box.write("tarvo", "TARVO_RECORD = .rec\n\n"
                       "two: one\n\tcp one two\n\n"
                       "one: one.c\n\tcp one.c one\n");
    const e2e::Result next = box.runKeepingErrors({});
    EXPECT_EQ(next.output, kBanner + std::string("cp one two \n"));
    EXPECT_EQ(next.errors, "");
}

// Two runs at once in one directory both leave their targets in the record.
TEST(Record, TwoRunsAtOnceKeepBoth) {
    Sandbox box;
    box.write("tarvo", "TARVO_RECORD = .rec\n\n"
                       ".c.o:\n\ttouch $*.started; while [ ! -f go ]; do sleep 0.01; done; "
                       "cp $*.c $*.o\n");
    for (const char* name : {"x.c", "y.c"}) {
        box.write(name, name);
        box.setTime(name, kBaseTime);
    }
    e2e::Running x = box.start({"x.o"});
    e2e::Running y = box.start({"y.o"});
    ASSERT_TRUE(x.waitForFile(box.pathOf("x.started"), 60));
    ASSERT_TRUE(y.waitForFile(box.pathOf("y.started"), 60));
    box.write("go", "");
    EXPECT_EQ(x.finish().status, 0);
    EXPECT_EQ(y.finish().status, 0);
    box.setTime("x.c", kLater);
    box.setTime("y.c", kLater);
    const e2e::Result next = box.runKeepingErrors({"x.o", "y.o"});
    EXPECT_EQ(next.output, kBanner);
    EXPECT_EQ(next.errors, "tarvo: x.o is up to date\ntarvo: y.o is up to date\n");
}

} // namespace
