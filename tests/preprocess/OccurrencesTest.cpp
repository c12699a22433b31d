#include "preprocess/Occurrences.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::size_t> occurrencesOf(const std::string& text, const std::string& needle) {
    std::vector<std::size_t> found;
    findOccurrences(text.data(), text.size(), needle, found);
    return found;
}

// The plain definition: search on after each occurrence.
std::vector<std::size_t> reference(const std::string& text, const std::string& needle) {
    std::vector<std::size_t> found;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size())) {
        found.push_back(at);
    }
    return found;
}

TEST(OccurrencesTest, Cases) {
    struct Case {
        std::string text;
        std::string needle;
        std::vector<std::size_t> expected;
    };
    const Case cases[] = {
        {"a.c b.c", ".c", {1, 5}},
        {"aaaaa", "aa", {0, 2}},
        {"aaaaaaaaaaaaaaaaa", "aaa", {0, 3, 6, 9, 12}},
        {"abc", "abcd", {}},
        {"", "a", {}},
        {"12345678.c", ".c", {8}}, // the last two bytes, after a whole block
        {"1234567.c", ".c", {7}},  // across the end of the first block
        {"1234567.", ".c", {}},    // a first byte with no room after it
        {"x.cx.cx.cx.cx.c", ".cx", {1, 4, 7, 10}},
        {std::string("a\0b\0b", 5), std::string("\0b", 2), {1, 3}},
        {"\xe4\xe4.\xe4\xff", "\xe4\xff", {3}},
        {"\x80\x80\x81\x80\x80\x80\x80\x80\x80\x81", "\x81", {2, 9}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(occurrencesOf(c.text, c.needle), c.expected) << c.text << " / " << c.needle;
    }
}

TEST(OccurrencesTest, AgreesWithAPlainSearch) {
    std::mt19937 random(7);
    const std::string alphabet = std::string("ab.c\0\x80\xff", 7);
    for (int round = 0; round < 5000; ++round) {
        std::string text(random() % 70, ' ');
        for (char& c : text) {
            c = alphabet[random() % (round % 2 == 0 ? 3 : alphabet.size())];
        }
        std::string needle(1 + random() % 4, ' ');
        for (char& c : needle) {
            c = alphabet[random() % 3];
        }
        ASSERT_EQ(occurrencesOf(text, needle), reference(text, needle))
            << "text " << text << " needle " << needle;
    }
}

TEST(OccurrencesTest, AppendsToWhatIsThere) {
    std::vector<std::size_t> found{99};
    findOccurrences("x.c", 3, ".c", found);
    EXPECT_EQ(found, (std::vector<std::size_t>{99, 1}));
}

} // namespace
