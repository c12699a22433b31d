#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// A 64-bit digest of bytes: XXH64, written from its published description.
// Not cryptographic: it tells versions of a file or a command apart, where a
// collision needs a 1 in 2^64 chance, not an adversary. Bytes can be added in
// pieces of any size; the digest is the same as of the bytes at once.
class ContentHash {
  public:
    explicit ContentHash(std::uint64_t seed = 0);

    void add(const void* data, std::size_t size);
    void add(std::string_view bytes) { add(bytes.data(), bytes.size()); }
    // A number as eight bytes, low byte first, whatever the machine's order.
    void addNumber(std::uint64_t number);

    // The digest of everything added so far; more may be added after.
    std::uint64_t value() const;

    static std::uint64_t of(std::string_view bytes, std::uint64_t seed = 0);

  private:
    std::uint64_t lanes_[4];
    std::uint64_t seed_;
    std::uint64_t total_ = 0;
    unsigned char pending_[32];
    std::size_t pendingSize_ = 0;
};
