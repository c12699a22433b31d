#include "platform/Platform.h"
#include "platform/ProcessStartup.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramPath, NamesThisRunningProgramFile) {
    const std::string path = programPath();
    const std::size_t separator = path.find_last_of("/\\");
    ASSERT_NE(separator, std::string::npos) << path;
    // "tarvo_unit_tests", with ".exe" on Windows.
    EXPECT_EQ(path.compare(separator + 1, 16, "tarvo_unit_tests"), 0) << path;
    EXPECT_NE(systemPlatform().fileTime(path), 0u) << path;
}

} // namespace
