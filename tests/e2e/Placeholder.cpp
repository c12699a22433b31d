#include <gtest/gtest.h>
TEST(E2E, Placeholder) {
    EXPECT_TRUE(true);
}
