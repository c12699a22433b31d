#include "exec/ParallelExecutor.h"
#include "support/CapturedOutput.h"
#include "support/FakeJobserver.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

Job job(const std::string& target, const Lines& commands, std::vector<JobId> after = {}) {
    Job result;
    result.target = target;
    for (const std::string& line : commands) {
        result.commands.emplace_back();
        result.commands.back().line = line;
    }
    result.after = std::move(after);
    return result;
}

class ParallelExecutorTest : public ::testing::Test {
  protected:
    // Runs the jobs in the order given, with standard output kept.
    int run(unsigned slots, std::vector<Job> jobs, Jobserver* jobserver = nullptr) {
        ParallelExecutor executor(platform, slots, false, jobserver);
        const CapturedOutput capturedOutput(stdout);
        const CapturedOutput capturedErrors(stderr);
        for (Job& j : jobs) {
            executor.submit(std::move(j));
        }
        executor.finish();
        output = capturedOutput.text();
        errors = capturedErrors.text();
        return executor.status();
    }

    FakePlatform platform;
    std::string output;
    std::string errors;
};

TEST_F(ParallelExecutorTest, DependenciesEndBeforeDependentsStart) {
    platform.durations["a "] = 3;
    EXPECT_EQ(run(2, {job("a", {"a"}), job("b", {"b"}, {0}), job("c", {"c"})}), 0);
    EXPECT_EQ(platform.events,
              (Lines{"start a ", "start c ", "end c ", "end a ", "start b ", "end b "}));
    EXPECT_EQ(output, "c \na \nb \n");
}

TEST_F(ParallelExecutorTest, AtMostTheGivenNumberAtOnce) {
    std::vector<Job> jobs;
    for (int i = 0; i < 10; ++i) {
        jobs.push_back(job("t" + std::to_string(i), {"x" + std::to_string(i)}));
    }
    EXPECT_EQ(run(3, std::move(jobs)), 0);
    EXPECT_EQ(platform.mostAtOnce, 3u);
    EXPECT_EQ(platform.started.size(), 10u);
}

// The first command runs for free, each further one with a token, and every
// token goes back, also after a failure.
TEST_F(ParallelExecutorTest, TokensOfAJobserverBeyondTheFirstCommand) {
    for (const bool fails : {false, true}) {
        platform = FakePlatform();
        platform.exitCodes["x3 "] = fails ? 2 : 0;
        FakeJobserver jobserver(2);
        std::vector<Job> jobs;
        for (int i = 0; i < 8; ++i) {
            jobs.push_back(job("t" + std::to_string(i), {"x" + std::to_string(i)}));
        }
        EXPECT_EQ(run(100, std::move(jobs), &jobserver), fails ? 2 : 0);
        EXPECT_EQ(platform.mostAtOnce, 3u);
        EXPECT_EQ(jobserver.mostTaken, 2u);
        EXPECT_EQ(jobserver.taken, 0u);
        EXPECT_EQ(platform.started.size(), fails ? 6u : 8u);
    }
    // The limit holds beside the tokens; a jobserver without any runs one at a time.
    FakeJobserver plenty(10);
    run(2, {job("a", {"a"}), job("b", {"b"}), job("c", {"c"})}, &plenty);
    EXPECT_EQ(plenty.mostTaken, 1u);
    FakeJobserver none(0);
    platform.mostAtOnce = 0;
    run(4, {job("a", {"a"}), job("b", {"b"}), job("c", {"c"})}, &none);
    EXPECT_EQ(platform.mostAtOnce, 1u);
}

TEST_F(ParallelExecutorTest, CommandsOfOneJobRunInOrder) {
    platform.durations["y "] = 5;
    EXPECT_EQ(run(2, {job("x", {"x1", "x2"}), job("y", {"y"})}), 0);
    EXPECT_EQ(platform.events,
              (Lines{"start x1 ", "start y ", "end x1 ", "start x2 ", "end x2 ", "end y "}));
}

TEST_F(ParallelExecutorTest, FailureStopsNewStartsAndGivesTheFirstCode) {
    platform.exitCodes["f "] = 5;
    platform.exitCodes["s "] = 6;
    platform.durations["s "] = 3;
    platform.outputs["s "] = "from s\n";
    const int status = run(
        2, {job("f", {"f", "after f"}), job("s", {"s"}), job("t", {"t"}), job("u", {"u"}, {1})});
    EXPECT_EQ(status, 5);
    EXPECT_EQ(platform.started, (Lines{"f ", "s "}));
    // The command running at the failure ends, and its block is written whole.
    EXPECT_EQ(output, "f \ns \nfrom s\n");
    EXPECT_EQ(errors, "tarvo: f: command failed with status 5\n"
                      "tarvo: s: command failed with status 6\n");
}

TEST_F(ParallelExecutorTest, IgnoredFailureGoesOnAndSilentCommandsShowOnlyOutput) {
    platform.exitCodes["f "] = 5;
    platform.outputs["quiet "] = "said\n";
    EXPECT_EQ(run(2, {job("f", {"-f", "@quiet"}), job("g", {"g"}, {0})}), 0);
    EXPECT_EQ(output, "f \nsaid\ng \n");
    EXPECT_EQ(errors, "");
}

TEST_F(ParallelExecutorTest, EmptyJobsPassTheirTurnOn) {
    // A target whose rule has no commands still orders what depends on it.
    platform.durations["a "] = 4;
    EXPECT_EQ(run(2, {job("a", {"a"}), job("mid", {}, {0}), job("top", {"top"}, {1}),
                      job("other", {"other"})}),
              0);
    EXPECT_EQ(platform.events, (Lines{"start a ", "start other ", "end other ", "end a ",
                                      "start top ", "end top "}));
}

// On random graphs every job runs exactly once, after every job it waits for,
// and never more than the given number at once.
TEST_F(ParallelExecutorTest, RandomGraphsRunEachJobOnceAfterItsDependencies) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 200; ++round) {
        FakePlatform fake;
        const unsigned slots = 1 + random() % 4;
        const std::size_t count = 1 + random() % 30;
        std::vector<std::vector<JobId>> after(count);
        ParallelExecutor executor(fake, slots, true);
        for (std::size_t i = 0; i < count; ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (random() % 5 == 0) {
                    after[i].push_back(j);
                }
            }
            const std::string line = "j" + std::to_string(i);
            fake.durations[line + " "] = 1 + random() % 7;
            executor.submit(job(line, {line}, after[i]));
        }
        {
            const CapturedOutput quiet(stdout);
            executor.finish();
        }
        ASSERT_EQ(fake.started.size(), count) << "round " << round;
        EXPECT_LE(fake.mostAtOnce, slots);
        for (std::size_t i = 0; i < count; ++i) {
            const std::string line = "j" + std::to_string(i) + " ";
            EXPECT_EQ(std::count(fake.started.begin(), fake.started.end(), line), 1);
            const auto start = std::find(fake.events.begin(), fake.events.end(), "start " + line);
            for (const JobId waited : after[i]) {
                const auto end = std::find(fake.events.begin(), fake.events.end(),
                                           "end j" + std::to_string(waited) + " ");
                EXPECT_LT(end, start) << "round " << round << ": j" << i << " before j" << waited;
            }
        }
    }
}

} // namespace
