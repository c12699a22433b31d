#include "e2e/E2eHarness.h"
#include "rules/depfiles/JsonReader.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using e2e::kBanner;
using e2e::Sandbox;

namespace {

using Names = std::vector<std::string>;

// A pseudo-terminal whose far end is standard error of a run.
class Terminal {
  public:
    Terminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            return;
        }
        name_ = ptsname(master_);
        // Held open, so that what the run wrote stays readable after it ends.
        slave_ = open(name_.c_str(), O_RDWR | O_NOCTTY);
        struct termios raw;
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
        fcntl(master_, F_SETFL, O_NONBLOCK);
    }
    ~Terminal() {
        close(slave_);
        close(master_);
    }
    const std::string& name() const { return name_; }
    std::string read() const {
        std::string text;
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(master_, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string name_;
};

const char kThreeSteps[] = "TARVO_LOG = .tarvo_log\n"
                           "all: one two\n\techo all\n\n"
                           "one:\n\techo one\n\n"
                           "two:\n\t@echo two\n";

TEST(Progress, DrawnOnATerminalWithoutChangingStandardOutput) {
    Sandbox plain;
    plain.write("tarvo", kThreeSteps);
    const e2e::Result without = plain.run({"--progress=no"});
    for (const char* option : {"--progress=yes", "--progress=auto", "--progress=no"}) {
        Terminal terminal;
        ASSERT_FALSE(terminal.name().empty());
        Sandbox box;
        box.write("tarvo", kThreeSteps);
        e2e::RunOptions options;
        options.standardError = terminal.name();
        const e2e::Result result = box.run({option}, Sandbox::defaultEnvironment(), options);
        EXPECT_EQ(result.output, without.output) << option;
        EXPECT_EQ(result.status, 0) << option;
        const std::string drawn = terminal.read();
        if (std::string(option) == "--progress=no") {
            EXPECT_EQ(drawn, "");
            continue;
        }
        // Each command's block clears the line; the last line shows all three
        // done, and the line is cleared at the end.
        EXPECT_NE(drawn.find("\r[1/3, 0 running, "), std::string::npos) << drawn;
        EXPECT_NE(drawn.find("\r[3/3, 0 running, "), std::string::npos) << drawn;
        EXPECT_NE(drawn.find("] echo all\x1b[K"), std::string::npos) << drawn;
        EXPECT_EQ(drawn.substr(drawn.size() - 4), "\r\x1b[K") << drawn;
    }
    // Not a terminal: nothing, unless forced.
    Sandbox box;
    box.write("tarvo", kThreeSteps);
    EXPECT_EQ(box.runKeepingErrors({}).errors, "");
}

// Standard error with the line drawn into a file of the sandbox, which the
// commands can read.
e2e::RunOptions errorsTo(const Sandbox& box, const std::string& name) {
    box.write(name, "");
    e2e::RunOptions options;
    options.standardError = box.pathOf(name);
    return options;
}

// A note that does not begin a line stands glued to a line that was not erased.
bool noteGlued(const std::string& errors) {
    for (std::size_t at = errors.find("tarvo: "); at != std::string::npos;
         at = errors.find("tarvo: ", at + 1)) {
        if (at > 0 && errors[at - 1] != '\n' &&
            (at < 4 || errors.compare(at - 4, 4, "\r\x1b[K") != 0)) {
            return true;
        }
    }
    return false;
}

TEST(Progress, OnlyTheOutermostRunDraws) {
    Sandbox box;
    box.write("tarvo", "all:\n\t@cd sub && $(MAKE) --progress=yes\n");
    box.makeDirectory("sub");
    box.write("sub/tarvo", "all:\n\techo inner\n");
    const e2e::Result result =
        box.run({"--progress=yes"}, Sandbox::defaultEnvironment(), errorsTo(box, "err"));
    EXPECT_EQ(result.status, 0);
    const std::string drawn = box.read("err");
    EXPECT_NE(drawn.find("] cd sub && "), std::string::npos) << drawn;
    EXPECT_EQ(drawn.find("echo inner"), std::string::npos) << drawn;
}

// The command ends well once the line has shown a second gone by.
TEST(Progress, TheClockMovesWhileACommandRuns) {
    Sandbox box;
    box.write("tarvo", "all:\n\t@sh tick.sh\n");
    box.write("tick.sh", "i=0\nwhile ! grep -q ', 0:01' err && [ $i -lt 1000 ]; do sleep 0.01; "
                         "i=`expr $i + 1`; done\ngrep -q ', 0:01' err\n");
    const e2e::Result result =
        box.run({"-j2", "--progress=yes"}, Sandbox::defaultEnvironment(), errorsTo(box, "err"));
    EXPECT_EQ(result.status, 0) << box.read("err");
}

TEST(Progress, InterruptedCommandsAreNotDone) {
    Sandbox box;
    box.write("tarvo", "all: a b\n\na: tarvo\n\t@sh -c \"touch a.here; exec sleep 30\"\n\n"
                       "b: tarvo\n\t@sh -c \"touch b.here; exec sleep 30\"\n");
    e2e::Running running =
        box.start({"-j2", "--progress=yes"}, Sandbox::defaultEnvironment(), errorsTo(box, "err"));
    ASSERT_TRUE(running.waitForFile(box.pathOf("a.here")));
    ASSERT_TRUE(running.waitForFile(box.pathOf("b.here")));
    running.signalGroup(SIGINT);
    EXPECT_EQ(running.finish().status, 128 + SIGINT);
    const std::string drawn = box.read("err");
    EXPECT_NE(drawn.find("\r[0/2, 2 running, "), std::string::npos) << drawn;
    EXPECT_EQ(drawn.find("\r[1/"), std::string::npos) << drawn;
    EXPECT_EQ(drawn.find("\r[2/"), std::string::npos) << drawn;
}

// A warning that the walk says while the line stands, after a's command.
TEST(Progress, ErasedBeforeEachNote) {
    Sandbox box;
    box.write("tarvo", "all: a b\n\na:\n\techo a\n\nb: missing\n\techo b\n");
    const e2e::Result result =
        box.run({"--progress=yes"}, Sandbox::defaultEnvironment(), errorsTo(box, "err"));
    const std::string drawn = box.read("err");
    EXPECT_NE(drawn.find("tarvo: missing: no file and no rule"), std::string::npos) << drawn;
    EXPECT_FALSE(noteGlued(drawn)) << drawn;
}

// The record of times: a line per command run, appended run after run; a
// damaged line is skipped with a note, and the time left comes from the rest.
TEST(TimeLog, RecordsEachCommandAndGivesTheTimeLeft) {
    Sandbox box;
    box.write("tarvo", kThreeSteps);
    ASSERT_EQ(box.run({}).status, 0);
    ASSERT_EQ(box.run({}).status, 0);
    std::istringstream lines(box.read(".tarvo_log"));
    Names targets;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        long start = -1;
        long end = -1;
        int status = -1;
        std::string hash;
        std::string target;
        fields >> start >> end >> status >> hash >> target;
        EXPECT_LE(0, start) << line;
        EXPECT_LE(start, end) << line;
        EXPECT_EQ(status, 0) << line;
        EXPECT_EQ(hash.size(), 16u) << line;
        targets.push_back(target);
    }
    EXPECT_EQ(targets, (Names{"one", "two", "all", "one", "two", "all"}));

    // Ten seconds for each command of these targets, as recorded.
    box.write(".tarvo_log", "0\t10000\t0\t0123456789abcdef\tone\n"
                            "broken line\n"
                            "0\t10000\t0\t0123456789abcdef\ttwo\n"
                            "0\t10000\t0\t0123456789abcdef\tall\n");
    const e2e::Result result = box.runKeepingErrors({"--progress=yes"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.errors.substr(0, 48), "tarvo: .tarvo_log, line 2: damaged line skipped\n");
    EXPECT_NE(result.errors.find(", about 0:20 left] echo one"), std::string::npos)
        << result.errors;

    // An interrupted run keeps the lines of the commands that ended.
    Sandbox stopped;
    stopped.write("tarvo", "TARVO_LOG = .tarvo_log\nall: one two\n\none:\n\techo one\n\n"
                           "two:\n\tsh -c \"touch two.here; exec sleep 30\"\n");
    e2e::Running running = stopped.start({});
    ASSERT_TRUE(running.waitForFile(stopped.pathOf("two.here")));
    running.signalGroup(SIGINT);
    EXPECT_EQ(running.finish().status, 128 + SIGINT);
    EXPECT_NE(stopped.read(".tarvo_log").find("\tone\n"), std::string::npos);

    // No record without the macro.
    Sandbox none;
    none.write("tarvo", "all:\n\techo all\n");
    EXPECT_EQ(none.run({}).status, 0);
    EXPECT_EQ(none.list(), (Names{"tarvo"}));
}

// The trace holds one event per command run, in lanes no more than the jobs.
TEST(Trace, HoldsEveryCommandRun) {
    Sandbox box;
    box.write("tarvo", "all: a b c\n\techo all\n\n"
                       "a:\n\techo a\n\n"
                       "b:\n\t-sh -c \"exit 2\"\n\n"
                       "c:\n\techo \"c\\\"\"\n");
    const e2e::Result result = box.run({"-j2", "--trace", "run.json"});
    ASSERT_EQ(result.status, 0);
    JsonValue trace;
    std::string reason;
    ASSERT_TRUE(JsonReader::read(box.read("run.json"), trace, reason)) << reason;
    const JsonValue* events = trace.member("traceEvents");
    ASSERT_NE(events, nullptr);
    std::multiset<std::string> commands;
    std::set<std::string> lanes;
    for (const JsonValue& event : events->items) {
        if (event.member("ph")->text != "X") {
            continue;
        }
        const std::string name = event.member("name")->text;
        commands.insert(name + ": " + event.member("args")->member("command")->text + " -> " +
                        event.member("args")->member("status")->text);
        lanes.insert(event.member("tid")->text);
        EXPECT_NE(event.member("ts"), nullptr);
        EXPECT_NE(event.member("dur"), nullptr);
    }
    EXPECT_EQ(commands,
              (std::multiset<std::string>{"a: echo a -> 0", "all: echo all -> 0",
                                          "b: sh -c \"exit 2\" -> 0", "c: echo \"c\\\"\" -> 0"}));
    EXPECT_LE(lanes.size(), 2u);

    const e2e::Result refused = box.run({"--dry-run", "--trace", "dry.json"});
    EXPECT_EQ(refused.output,
              std::string(kBanner) + "Error (tarvo): --trace cannot be used with --dry-run\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_FALSE(box.exists("dry.json"));
}

// A trace or a record of times that cannot be written is said, once, and the
// trace counts as a warning for --strict.
TEST(Trace, WriteThatFailsIsSaid) {
    Sandbox box;
    box.write("tarvo", "all:\n\t@echo all\n");
    for (const bool strict : {false, true}) {
        std::vector<std::string> arguments = {"--trace", "/dev/full"};
        if (strict) {
            arguments.push_back("--strict");
        }
        const e2e::Result result = box.runKeepingErrors(arguments);
        EXPECT_EQ(result.output, std::string(kBanner) + "all\n");
        EXPECT_EQ(result.errors,
                  std::string("tarvo: the trace could not be written: No space left on device\n") +
                      (strict ? "tarvo: 1 warning, and --strict makes them fail the run\n" : ""));
        EXPECT_EQ(result.status, strict ? 1 : 0);
    }
    box.write("tarvo", "TARVO_LOG = missing/times.log\nall:\n\t@echo all\n");
    const e2e::Result unopened = box.runKeepingErrors({});
    EXPECT_EQ(unopened.errors, "tarvo: cannot append to the record of times missing/times.log\n");
    EXPECT_EQ(unopened.status, 0);
}

} // namespace
