#include "containers/ContentHash.h"

#include <cstring>

namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ULL;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ULL;
constexpr std::uint64_t kPrime5 = 0x27D4EB2F165667C5ULL;

constexpr std::uint64_t rotateLeft(std::uint64_t x, int bits) {
    return (x << bits) | (x >> (64 - bits));
}

// The digest is defined on little-endian words.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kBigEndian = true;
#else
constexpr bool kBigEndian = false;
#endif

inline std::uint64_t read64(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if (kBigEndian) {
        std::uint64_t swapped = 0;
        for (int i = 0; i < 8; ++i) {
            swapped = (swapped << 8) | ((word >> (8 * i)) & 0xff);
        }
        word = swapped;
    }
    return word;
}

inline std::uint64_t read32(const unsigned char* p) {
    return std::uint64_t(p[0]) | std::uint64_t(p[1]) << 8 | std::uint64_t(p[2]) << 16 |
           std::uint64_t(p[3]) << 24;
}

inline std::uint64_t round(std::uint64_t lane, std::uint64_t input) {
    return rotateLeft(lane + input * kPrime2, 31) * kPrime1;
}

inline std::uint64_t merge(std::uint64_t hash, std::uint64_t lane) {
    return (hash ^ round(0, lane)) * kPrime1 + kPrime4;
}

// Four lanes over whole 32-byte stripes; returns the bytes used.
std::size_t stripes(std::uint64_t* lanes, const unsigned char* p, std::size_t size) {
    std::uint64_t a = lanes[0];
    std::uint64_t b = lanes[1];
    std::uint64_t c = lanes[2];
    std::uint64_t d = lanes[3];
    std::size_t used = 0;
    for (; used + 32 <= size; used += 32) {
        a = round(a, read64(p + used));
        b = round(b, read64(p + used + 8));
        c = round(c, read64(p + used + 16));
        d = round(d, read64(p + used + 24));
    }
    lanes[0] = a;
    lanes[1] = b;
    lanes[2] = c;
    lanes[3] = d;
    return used;
}

// The digest from the lanes (used only when `total` reached a stripe) and
// the bytes after the last whole stripe.
std::uint64_t finish(const std::uint64_t* lanes, std::uint64_t seed, std::uint64_t total,
                     const unsigned char* p, std::size_t rest) {
    std::uint64_t hash;
    if (total >= 32) {
        hash = rotateLeft(lanes[0], 1) + rotateLeft(lanes[1], 7) + rotateLeft(lanes[2], 12) +
               rotateLeft(lanes[3], 18);
        for (int i = 0; i < 4; ++i) {
            hash = merge(hash, lanes[i]);
        }
    } else {
        hash = seed + kPrime5;
    }
    hash += total;
    for (; rest >= 8; rest -= 8, p += 8) {
        hash = rotateLeft(hash ^ round(0, read64(p)), 27) * kPrime1 + kPrime4;
    }
    if (rest >= 4) {
        hash = rotateLeft(hash ^ (read32(p) * kPrime1), 23) * kPrime2 + kPrime3;
        rest -= 4;
        p += 4;
    }
    for (; rest > 0; --rest, ++p) {
        hash = rotateLeft(hash ^ (*p * kPrime5), 11) * kPrime1;
    }
    hash ^= hash >> 33;
    hash *= kPrime2;
    hash ^= hash >> 29;
    hash *= kPrime3;
    hash ^= hash >> 32;
    return hash;
}

} // namespace

ContentHash::ContentHash(std::uint64_t seed)
    : lanes_{seed + kPrime1 + kPrime2, seed + kPrime2, seed, seed - kPrime1}, seed_(seed) {}

void ContentHash::add(const void* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    const auto* p = static_cast<const unsigned char*>(data);
    total_ += size;
    if (pendingSize_ > 0) {
        const std::size_t take = size < 32 - pendingSize_ ? size : 32 - pendingSize_;
        std::memcpy(pending_ + pendingSize_, p, take);
        pendingSize_ += take;
        p += take;
        size -= take;
        if (pendingSize_ < 32) {
            return;
        }
        stripes(lanes_, pending_, 32);
        pendingSize_ = 0;
    }
    const std::size_t used = stripes(lanes_, p, size);
    std::memcpy(pending_, p + used, size - used);
    pendingSize_ = size - used;
}

void ContentHash::addNumber(std::uint64_t number) {
    unsigned char bytes[8];
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(number);
        number >>= 8;
    }
    add(bytes, sizeof bytes);
}

std::uint64_t ContentHash::value() const {
    return finish(lanes_, seed_, total_, pending_, pendingSize_);
}

// In place, without the copy into the pending bytes: names are hashed by the
// ten thousand.
std::uint64_t ContentHash::of(std::string_view bytes, std::uint64_t seed) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::uint64_t lanes[4] = {seed + kPrime1 + kPrime2, seed + kPrime2, seed, seed - kPrime1};
    const std::size_t used = bytes.size() >= 32 ? stripes(lanes, p, bytes.size()) : 0;
    return finish(lanes, seed, bytes.size(), p + used, bytes.size() - used);
}
