#include "exec/CommandRun.h"
#include "exec/CommandObserver.h"
#include "exec/Job.h"
#include "exec/ParallelExecutor.h"
#include "exec/SequentialExecutor.h"
#include "support/CapturedOutput.h"
#include "support/FakePlatform.h"

#include "text/Diagnostics.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

class RecordingObserver : public CommandObserver {
  public:
    void writing() override {}
    void started(std::uint64_t, const std::string& target, const std::string& text, bool) override {
        events.push_back("started " + target + ": " + text);
    }
    void ended(std::uint64_t, const std::string& target, const std::string& text,
               int status) override {
        events.push_back("ended " + target + ": " + text + std::to_string(status));
    }

    Lines events;
};

Job jobOf(const std::string& line, FileTime targetTime) {
    Job job;
    job.target = "out";
    job.targetTime = targetTime;
    job.commands.emplace_back();
    job.commands.back().line = line;
    return job;
}

// The end of a command: its status, the note of a failure that ends the job,
// and the time of a target that its commands changed, set back.
struct EndCase {
    const char* name;
    const char* line;
    std::uint32_t exitCode;
    FileTime timeBefore; // 0: the target was missing
    bool touches;        // the command changes the target
    int status;
    const char* errors;
    FileTime timeAfter; // 0: missing
};

class Ends : public ::testing::TestWithParam<EndCase> {};

TEST_P(Ends, StatusNoteAndTime) {
    const EndCase& c = GetParam();
    FakePlatform platform;
    if (c.timeBefore != 0) {
        platform.times["out"] = c.timeBefore;
    }
    platform.exitCodes["cc "] = c.exitCode;
    platform.onRun = [&platform, &c](const std::string&) {
        if (c.touches) {
            platform.times["out"] = 50;
        }
    };
    const Job job = jobOf(c.line, c.timeBefore);
    CommandRunner runner(platform, false);
    Diagnostics diagnostics;
    RecordingObserver observer;
    int status = -1;
    std::string errors;
    {
        const CapturedOutput captured(stderr);
        std::optional<CommandRun> command = runner.prepare(job, job.commands[0], diagnostics);
        ASSERT_TRUE(command);
        status =
            runner.end(*command, job, runner.run(*command, job, &observer), &observer, diagnostics);
        errors = captured.text();
    }
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(errors, c.errors);
    const auto time = platform.times.find("out");
    EXPECT_EQ(time == platform.times.end() ? 0 : time->second, c.timeAfter);
    EXPECT_EQ(observer.events,
              (Lines{"started out: cc ", "ended out: cc " + std::to_string(c.status)}));
    EXPECT_EQ(platform.sweeps, 1);
}

const EndCase kEndCases[] = {
    {"Succeeds", "cc", 0, 5, true, 0, "", 50},
    {"IgnoredFailure", "-cc", 3, 5, true, 0, "", 50},
    {"FailureSetsTheTimeBack", "cc", 3, 5, true, 3,
     "tarvo: out: command failed with status 3\n"
     "tarvo: out: its time is set back, since its commands failed\n",
     5},
    {"FailureOfANewTargetGivesItTheOldestTime", "cc", 3, 0, true, 3,
     "tarvo: out: command failed with status 3\n"
     "tarvo: out: its time is set back, since its commands failed\n",
     kOldestFileTime},
    {"FailureLeavesAnUntouchedTarget", "@cc", 3, 5, false, 3,
     "tarvo: out: command failed with status 3\n", 5},
    {"WindowsStatusIsNamed", "cc", 0xC0000005u, 5, false, static_cast<int>(0xC0000005u),
     "tarvo: out: command failed with status -1073741819 (0xC0000005, access violation)\n", 5},
};

INSTANTIATE_TEST_SUITE_P(CommandRun, Ends, ::testing::ValuesIn(kEndCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Whichever executor runs it, a failing command ends the same way.
TEST(CommandRun, BothExecutorsEndACommandAlike) {
    Lines errorsOf;
    std::vector<Lines> eventsOf;
    for (const bool parallel : {false, true}) {
        FakePlatform platform;
        platform.times["out"] = 5;
        platform.exitCodes["touch out "] = 2;
        std::unique_ptr<Executor> executor;
        if (parallel) {
            executor = std::make_unique<ParallelExecutor>(platform, 2, false);
        } else {
            executor = std::make_unique<SequentialExecutor>(platform, false);
        }
        RecordingObserver observer;
        executor->observe(observer);
        const CapturedOutput capturedOutput(stdout);
        const CapturedOutput capturedErrors(stderr);
        executor->submit(jobOf("touch out", 5));
        EXPECT_EQ(executor->finish(), 2);
        EXPECT_EQ(platform.times["out"], 5u);
        EXPECT_EQ(capturedOutput.text(), "touch out \n");
        errorsOf.push_back(capturedErrors.text());
        eventsOf.push_back(observer.events);
    }
    EXPECT_EQ(errorsOf[0], "tarvo: out: command failed with status 2\n"
                           "tarvo: out: its time is set back, since its commands failed\n");
    EXPECT_EQ(errorsOf[1], errorsOf[0]);
    EXPECT_EQ(eventsOf[1], eventsOf[0]);
}

// A target that the interrupted commands changed goes, and the note says so
// only when it has gone.
TEST(CommandRun, SaysWhetherAPartlyMadeTargetWasRemoved) {
    for (const bool removable : {true, false}) {
        FakePlatform platform;
        platform.times["out.o"] = 7;
        if (!removable) {
            platform.unremovable.insert("out.o");
        }
        Job job;
        job.target = "out.o";
        job.targetTime = 5;
        std::string errors;
        {
            const CapturedOutput captured(stderr);
            Diagnostics diagnostics;
            CommandRunner(platform, false).removePartlyMade(job, diagnostics);
            errors = captured.text();
        }
        EXPECT_EQ(platform.times.count("out.o"), removable ? 0u : 1u);
        EXPECT_EQ(errors, removable
                              ? "tarvo: out.o: removed, since its commands were interrupted\n"
                              : "tarvo: out.o: could not be removed, though its commands were "
                                "interrupted\n");
    }
}

} // namespace
