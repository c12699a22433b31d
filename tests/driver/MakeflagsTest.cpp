#include "driver/Makeflags.h"

#include <gtest/gtest.h>

namespace {

TEST(Makeflags, FlagsThatARunFollows) {
    const struct {
        const char* makeflags;
        bool dryRun;
        bool keepGoing;
    } kCases[] = {
        {"", false, false},
        {"kn -j2 --jobserver-auth=3,4", true, true},
        {"s -j3 --jobserver-auth=3,4", false, false},
        {" -k -j --jobserver-fds=3,4", false, true},
        {"--just-print", true, false},
        // Letters that are an option's argument, and definitions, are no flags.
        {"-Cnk -j2", false, false},
        {"-j2 -- n=k", false, false},
        {"CC=nk", false, false},
    };
    for (const auto& c : kCases) {
        const MakeflagsFlags flags = flagsIn(c.makeflags);
        EXPECT_EQ(flags.dryRun, c.dryRun) << c.makeflags;
        EXPECT_EQ(flags.keepGoing, c.keepGoing) << c.makeflags;
    }
}

TEST(Makeflags, WhatTheCommandsGet) {
    const struct {
        const char* given;
        const char* jobserver;
        bool keepGoing;
        const char* result;
    } kCases[] = {
        {" -j3 --jobserver-auth=3,4", "", false, " -j3 --jobserver-auth=3,4"},
        {"", "", true, "k"},
        {"s -j3 --jobserver-auth=3,4", "", true, "ks -j3 --jobserver-auth=3,4"},
        {"k", "", true, "k"},
        {"s -j3 --jobserver-auth=3,4 -- CC=cc", "-j --jobserver-auth=5,6", true,
         "ks -j --jobserver-auth=5,6 -- CC=cc"},
        {"", "-j --jobserver-auth=5,6", false, "-j --jobserver-auth=5,6"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(makeflagsForCommands(c.given, c.jobserver, c.keepGoing), c.result) << c.given;
    }
}

} // namespace
