#include "containers/OrderedTree.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) {
    OrderedTree t;
    EXPECT_EQ(t.first(), nullptr);
}
