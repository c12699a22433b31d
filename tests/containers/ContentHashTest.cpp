#include "containers/ContentHash.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// The bytes of xxHash's own sanity check: a 32-bit generator squared at each step.
std::string sanityBytes(std::size_t size) {
    std::string bytes;
    std::uint32_t generator = 2654435761U;
    for (std::size_t i = 0; i < size; ++i) {
        bytes += static_cast<char>(generator >> 24);
        generator *= generator;
    }
    return bytes;
}

struct Vector {
    std::string bytes;
    std::uint64_t seed;
    std::uint64_t digest;
};

// Published XXH64 values: short inputs take the tail paths only, the longer
// ones the 32-byte stripes as well.
TEST(ContentHash, MatchesThePublishedVectors) {
    const std::vector<Vector> vectors = {
        {"", 0, 0xEF46DB3751D8E999ULL},
        {"", 1, 0xD5AFBA1336A3BE4BULL},
        {"", 2654435761U, 0xAC75FDA2929B17EFULL},
        {"a", 0, 0xD24EC4F1A98C6E5BULL},
        {"as", 0, 0x1C330FB2D66BE179ULL},
        {"asd", 0, 0x631C37CE72A97393ULL},
        {"asdf", 0, 0x415872F599CEA71EULL},
        {"abc", 0, 0x44BC2CF5AD770999ULL},
        {"Call me Ishmael.", 0, 0x6D04390FC9D61A90ULL},
        {"Nobody inspects the spammish repetition", 0, 0xFBCEA83C8A378BF1ULL},
        {"Some years ago--never mind how long precisely-", 0, 0x8F26F2B986AFDC52ULL},
        {sanityBytes(1), 0, 0x4FCE394CC88952D8ULL},
        {sanityBytes(1), 2654435761U, 0x739840CB819FA723ULL},
        {sanityBytes(14), 0, 0xCFFA8DB881BC3A3DULL},
        {sanityBytes(14), 2654435761U, 0x5B9611585EFCC9CBULL},
        {sanityBytes(101), 0, 0x0EAB543384F878ADULL},
        {sanityBytes(101), 2654435761U, 0xCAA65939306F1E21ULL},
    };
    for (const Vector& vector : vectors) {
        EXPECT_EQ(ContentHash::of(vector.bytes, vector.seed), vector.digest)
            << vector.bytes.size() << " bytes, seed " << vector.seed;
    }
}

// Files are read in chunks: every split of the bytes, at every stripe and tail
// boundary, must give the digest of the whole.
TEST(ContentHash, PiecesGiveTheDigestOfTheWhole) {
    const std::string bytes = sanityBytes(101);
    const std::uint64_t whole = ContentHash::of(bytes);
    for (std::size_t first = 0; first <= bytes.size(); ++first) {
        for (std::size_t second = first; second <= bytes.size(); second += 7) {
            ContentHash hash;
            hash.add(bytes.substr(0, first));
            hash.add(bytes.substr(first, second - first));
            hash.add(bytes.substr(second));
            ASSERT_EQ(hash.value(), whole) << first << " " << second;
        }
    }
    ContentHash numbers;
    numbers.addNumber(0x0706050403020100ULL);
    EXPECT_EQ(numbers.value(), ContentHash::of(std::string("\0\1\2\3\4\5\6\7", 8)));
}

} // namespace
