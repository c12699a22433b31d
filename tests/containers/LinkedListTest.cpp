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
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(list.tail(), nullptr);
    EXPECT_TRUE(texts(list).empty());
}

TEST(LinkedList, SingleItemIsHeadAndTailWithoutLinks) {
    LinkedList list;
    ListItem* item = list.append(new CommandItem("only"));
    EXPECT_EQ(list.head(), item);
    EXPECT_EQ(list.tail(), item);
    EXPECT_EQ(item->next(), nullptr);
    EXPECT_EQ(item->previous(), nullptr);
    EXPECT_EQ(list.count(), 1);
}

TEST(LinkedList, KeepsOrderAndLinksBothWays) {
    LinkedList list;
    ListItem* a = list.append(new DependencyItem("a"));
    ListItem* b = list.append(new DependencyItem("b"));
    ListItem* c = list.append(new DependencyItem("c"));
    EXPECT_EQ(texts(list), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(b->previous(), a);
    EXPECT_EQ(b->next(), c);
    EXPECT_EQ(c->next(), nullptr);
    EXPECT_EQ(list.tail(), c);
}

TEST(LinkedList, DuplicatesAndEmptyTextsAreItemsOfTheirOwn) {
    LinkedList list;
    list.append(new CommandItem("x"));
    list.append(new CommandItem(""));
    list.append(new CommandItem("x"));
    EXPECT_EQ(texts(list), (std::vector<std::string>{"x", "", "x"}));
}

TEST(LinkedList, ItemOwnsACopyOfItsText) {
    LinkedList list;
    std::string buffer = "first";
    list.append(new CommandItem(buffer));
    buffer.assign("overwritten");
    EXPECT_EQ(list.head()->text(), "first");
}

} // namespace
