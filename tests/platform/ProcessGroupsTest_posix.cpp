#include "platform/ProcessGroups_posix.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <set>
#include <utility>

namespace {

std::set<std::pair<pid_t, int>> gSent;

int recordSignal(pid_t target, int signal) {
    gSent.insert({target, signal});
    return 0;
}

// However many commands run side by side, an interrupt reaches each one's
// group, and only those that still run.
TEST(ProcessGroups, SignalsEveryGroupThatRuns) {
    gSent.clear();
    ProcessGroups groups(recordSignal);
    EXPECT_TRUE(groups.empty());
    for (pid_t group = 100; group < 2100; ++group) {
        groups.add(group);
    }
    for (pid_t group = 100; group < 2100; group += 3) {
        groups.remove(group);
    }
    groups.signalAll(SIGINT);
    std::set<std::pair<pid_t, int>> expected;
    for (pid_t group = 100; group < 2100; ++group) {
        if ((group - 100) % 3 != 0) {
            expected.insert({-group, SIGINT});
        }
    }
    EXPECT_EQ(gSent, expected);
}

} // namespace
