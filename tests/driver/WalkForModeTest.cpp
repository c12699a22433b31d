#include "driver/WalkForMode.h"

#include "exec/Executor.h"
#include "exec/Job.h"
#include "platform/FileTimeCache.h"
#include "rules/RuleTable.h"
#include "support/FakePlatform.h"
#include "text/Diagnostics.h"

#include <gtest/gtest.h>

namespace {

WalkSettings settingsWith(unsigned jobs, bool keepGoing, bool orderByDependenciesOnly) {
    WalkSettings settings;
    settings.jobs = jobs;
    settings.jobsGiven = jobs != 1;
    settings.keepGoing = keepGoing;
    settings.orderByDependenciesOnly = orderByDependenciesOnly;
    settings.explain = true;
    return settings;
}

TEST(WalkForMode, EachModeHasItsPolicy) {
    const struct {
        RunMode mode;
        unsigned jobs;
        bool keepGoing;
        bool byDependencies;
        // eachTargetOnce, stepsEndBeforeSiblings, keepGoing, allOutOfDate,
        // imaginesCommands, explain, passesOverCycles
        bool expected[7];
    } kCases[] = {
        {RunMode::Build, 1, false, false, {false, false, false, false, false, true, false}},
        {RunMode::Build, 4, false, false, {true, true, false, false, false, true, false}},
        {RunMode::Build, 4, false, true, {true, false, false, false, false, true, false}},
        {RunMode::Build, 1, true, false, {true, true, true, false, false, true, false}},
        {RunMode::DryRun, 4, true, false, {false, false, false, false, true, true, false}},
        {RunMode::Graph, 1, false, false, {false, false, false, false, true, true, true}},
        {RunMode::CompilationDatabase,
         1,
         false,
         true,
         {true, true, false, true, false, false, true}},
        // A plan is ordered as its build, and passes over what the build reports.
        {RunMode::Plan, 1, false, false, {false, false, false, false, false, false, true}},
        {RunMode::Plan, 4, true, false, {true, true, false, false, false, false, true}},
        {RunMode::Plan, 4, false, true, {true, false, false, false, false, false, true}},
    };
    for (const auto& c : kCases) {
        FakePlatform platform;
        FileTimeCache files(platform);
        RuleTable rules;
        Diagnostics diagnostics;
        WalkForMode walking(c.mode, settingsWith(c.jobs, c.keepGoing, c.byDependencies), rules,
                            files, diagnostics);
        const WalkPolicy& policy = walking.policy();
        const bool got[7] = {policy.eachTargetOnce,   policy.stepsEndBeforeSiblings,
                             policy.keepGoing,        policy.allOutOfDate,
                             policy.imaginesCommands, policy.explain,
                             policy.passesOverCycles};
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(got[i], c.expected[i])
                << "mode " << static_cast<int>(c.mode) << ", jobs " << c.jobs << ", field " << i;
        }
    }
}

// A walk that only gathers hands its jobs back; one that runs them keeps none.
TEST(WalkForMode, OnlyGatheringWalksHandBackJobs) {
    FakePlatform platform;
    FileTimeCache files(platform);
    RuleTable rules;
    Diagnostics diagnostics;
    for (const RunMode mode : {RunMode::CompilationDatabase, RunMode::Plan}) {
        WalkForMode walking(mode, WalkSettings(), rules, files, diagnostics);
        Job job;
        job.target = "t";
        walking.executor().submit(job);
        EXPECT_EQ(walking.gatheredJobs().size(), 1u) << static_cast<int>(mode);
    }
    WalkForMode building(RunMode::DryRun, WalkSettings(), rules, files, diagnostics);
    EXPECT_TRUE(building.gatheredJobs().empty());
}

TEST(RunModeTest, WhatEachModeDoes) {
    EXPECT_FALSE(onlyLooks(RunMode::Build));
    for (const RunMode mode :
         {RunMode::DryRun, RunMode::Graph, RunMode::CompilationDatabase, RunMode::Plan}) {
        EXPECT_TRUE(onlyLooks(mode));
    }
    EXPECT_TRUE(writesResultAlone(RunMode::Graph));
    EXPECT_TRUE(writesResultAlone(RunMode::CompilationDatabase));
    EXPECT_FALSE(writesResultAlone(RunMode::DryRun));
    EXPECT_FALSE(writesResultAlone(RunMode::Build));

    Options options;
    EXPECT_EQ(runModeOf(options), RunMode::Build);
    options.dryRun = true;
    EXPECT_EQ(runModeOf(options), RunMode::DryRun);
    options.graph = true;
    EXPECT_EQ(runModeOf(options), RunMode::Graph);
    options.compilationDatabase = true;
    EXPECT_EQ(runModeOf(options), RunMode::CompilationDatabase);
}

} // namespace
