#include "platform/OutputSpool.h"

#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(OutputSpool, MovesPastItsLimitToAHeldFileAndComesBackWhole) {
    TempDirectory directory;
    const std::string file = directory.prefix() + "tarvo0.$$$";
    OutputSpool spool(8, directory.prefix());
    spool.append("abc", 3);
    spool.append("defgh", 5);
    EXPECT_FALSE(std::filesystem::exists(file));
    spool.append("ij", 2);
    EXPECT_TRUE(std::filesystem::exists(file));
    // More than the limit at once goes to the file too.
    spool.append("0123456789abc", 13);
    spool.append("z", 1);
    EXPECT_EQ(spool.text(), "abcdefghij0123456789abcz");
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(spool.empty());

    // Where no file can be had, all of it stays in memory.
    OutputSpool kept(4, directory.prefix() + "missing/");
    kept.append("0123456789", 10);
    kept.append("ab", 2);
    EXPECT_EQ(kept.text(), "0123456789ab");
}

} // namespace
