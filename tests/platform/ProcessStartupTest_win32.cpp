#include "platform/ProcessStartup.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(WindowsStartup, EnvironmentListsVariablesWithoutDriveEntries) {
    ASSERT_TRUE(SetEnvironmentVariableA("TARVO_STARTUP_TEST", "c d=e"));
    // The kind of entry that cmd.exe keeps for each drive's current directory.
    ASSERT_TRUE(SetEnvironmentVariableA("=T:", "T:\\work"));
    const std::vector<std::string> entries = processEnvironment();
    SetEnvironmentVariableA("TARVO_STARTUP_TEST", nullptr);
    SetEnvironmentVariableA("=T:", nullptr);
    EXPECT_NE(std::find(entries.begin(), entries.end(), "TARVO_STARTUP_TEST=c d=e"), entries.end());
    for (const std::string& entry : entries) {
        ASSERT_FALSE(entry.empty());
        EXPECT_NE(entry[0], '=') << entry;
    }
}

} // namespace
