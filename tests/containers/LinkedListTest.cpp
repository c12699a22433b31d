#include "containers/LinkedList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> texts(const LinkedList& list) {
    std::vector<std::string> result;
    for (const ListItem* item = list.head(); item != nullptr; item = item->next()) {
        result.push_back(item->text());
    }
    return result;
}

TEST(LinkedList, NewListIsEmpty) {
    const LinkedList list;
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_TRUE(texts(list).empty());
}

TEST(LinkedList, KeepsTheOrderOfAppending) {
    LinkedList list;
    ListItem* a = list.append(new ListItem("a"));
    ListItem* b = list.append(new ListItem("b"));
    ListItem* c = list.append(new ListItem("c"));
    EXPECT_EQ(texts(list), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(list.head(), a);
    EXPECT_EQ(a->next(), b);
    EXPECT_EQ(c->next(), nullptr);
}

TEST(LinkedList, DuplicatesAndEmptyTextsAreItemsOfTheirOwn) {
    LinkedList list;
    list.append(new ListItem("x"));
    list.append(new ListItem(""));
    list.append(new ListItem("x"));
    EXPECT_EQ(texts(list), (std::vector<std::string>{"x", "", "x"}));
}

TEST(LinkedList, ItemOwnsACopyOfItsText) {
    LinkedList list;
    std::string buffer = "first";
    list.append(new ListItem(buffer));
    buffer.assign("overwritten");
    EXPECT_EQ(list.head()->text(), "first");
}

} // namespace
