#include "containers/NameTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(NameTable, FindsEveryNameItHoldsAcrossGrowth) {
    NameTable<int> table;
    std::vector<int*> places;
    for (int i = 0; i < 20000; ++i) {
        places.push_back(&table["s" + std::to_string(i) + ".obj"]);
        *places.back() = i;
    }
    EXPECT_EQ(table.size(), 20000u);
    for (int i = 0; i < 20000; ++i) {
        const std::string name = "s" + std::to_string(i) + ".obj";
        // Values never move, so references held across growth stay good.
        ASSERT_EQ(table.find(name), places[i]) << name;
        ASSERT_EQ(&table[name], places[i]) << name;
        EXPECT_EQ(*places[i], i);
    }
    EXPECT_EQ(table.size(), 20000u);
    EXPECT_EQ(table.find("s20000.obj"), nullptr);
    EXPECT_EQ(table.find("s1.ob"), nullptr);
}

TEST(NameTable, NewValuesStartDefault) {
    NameTable<std::string> table;
    EXPECT_EQ(table.find("a"), nullptr);
    EXPECT_EQ(table["a"], "");
    table["a"] = "x";
    EXPECT_EQ(table["a"], "x");
    EXPECT_EQ(table.size(), 1u);
}

TEST(NameTable, LetterCaseMattersOnlyWhenAsked) {
    struct Case {
        std::string first;
        std::string second;
        bool sameExactly;
        bool sameIgnoringCase;
    };
    const Case cases[] = {
        {"Main.OBJ", "main.obj", false, true},
        {"ABCXYZ", "abcxyz", false, true},
        {"a", "b", false, false},
        {"a", "a ", false, false},
        {"", "", true, true},
        {"@[`{", "@[`{", true, true},
        // Only A-Z fold: the bytes next to them and those above 127 stay apart.
        {"@", "`", false, false},
        {"[", "{", false, false},
        {"\xc4", "\xe4", false, false},
        {std::string("a\0b", 3), std::string("a\0c", 3), false, false},
        {std::string("a\0B", 3), std::string("a\0b", 3), false, true},
    };
    for (const Case& c : cases) {
        NameTable<int> exact;
        exact[c.first] = 1;
        EXPECT_EQ(exact.find(c.second) != nullptr, c.sameExactly) << c.first << " " << c.second;
        NameTable<int, true> folded;
        folded[c.first] = 1;
        folded[c.second] += 1;
        EXPECT_EQ(folded.size(), c.sameIgnoringCase ? 1u : 2u) << c.first << " " << c.second;
        EXPECT_EQ(*folded.find(c.first), c.sameIgnoringCase ? 2 : 1);
    }
}

// Names are hashed several bytes at a time; letter case must fold, and only
// A-Z, at every position of names of every length.
TEST(NameTable, EveryByteAtEveryPositionFoldsLikeTheComparison) {
    for (std::size_t length = 1; length <= 19; ++length) {
        for (std::size_t position = 0; position < length; ++position) {
            NameTable<int, true> folded;
            NameTable<int> exact;
            std::string base(length, 'k');
            for (int byte = 0; byte < 256; ++byte) {
                std::string name = base;
                name[position] = static_cast<char>(byte);
                ++folded[name];
                ++exact[name];
            }
            // 26 upper-case letters fold onto their lower-case twins.
            EXPECT_EQ(folded.size(), 256u - 26u) << length << " " << position;
            EXPECT_EQ(exact.size(), 256u) << length << " " << position;
            std::string upper = base;
            upper[position] = 'Q';
            std::string lower = base;
            lower[position] = 'q';
            ASSERT_NE(folded.find(lower), nullptr);
            EXPECT_EQ(*folded.find(lower), 2);
            EXPECT_EQ(folded.find(upper), folded.find(lower));
        }
    }
}

TEST(NameTable, NamesWithEqualHashSlotsStayApart) {
    // Many short names crowd the first slots of a small table; every one must
    // still be found after the probes pass over the others.
    NameTable<std::size_t, true> table;
    std::vector<std::string> names;
    for (char a = 'a'; a <= 'z'; ++a) {
        for (char b = '0'; b <= '9'; ++b) {
            names.push_back(std::string{a, b});
        }
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        table[names[i]] = i;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string upper = names[i];
        upper[0] = static_cast<char>(upper[0] - 'a' + 'A');
        ASSERT_NE(table.find(upper), nullptr) << upper;
        EXPECT_EQ(*table.find(upper), i);
    }
}

} // namespace
