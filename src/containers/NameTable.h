#pragma once

#include "containers/NameCompare.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A hash table from names to values for the tables a run fills by the
// thousand and only grows: one open-addressed array of small slots, and the
// entries in fixed chunks, so that an entry never moves once made and a run
// allocates per chunk, not per name. A lookup touches the slot array and, when
// the stored hash matches, the one entry. With `ignoreCase`, names that differ
// only in the letter case of A-Z are the same name; the first spelling stays.
template <typename Value, bool ignoreCase = false> class NameTable {
  public:
    NameTable() = default;
    NameTable(const NameTable&) = delete;
    NameTable& operator=(const NameTable&) = delete;

    std::size_t size() const { return size_; }

    // The value of the name, or nullptr.
    Value* find(std::string_view name) const {
        if (size_ == 0) {
            return nullptr;
        }
        const Slot& slot = slots_[slotOf(name, hashOf(name))];
        return slot.index == kEmpty ? nullptr : &entryAt(slot.index).value;
    }

    // The value of the name, made with Value() when the name is new.
    Value& operator[](const std::string& name) {
        if ((size_ + 1) * 4 > slots_.size() * 3) {
            grow();
        }
        const std::uint32_t hash = hashOf(name);
        const std::size_t i = slotOf(name, hash);
        if (slots_[i].index != kEmpty) {
            return entryAt(slots_[i].index).value;
        }
        if (size_ == chunks_.size() * kChunkSize) {
            chunks_.push_back(std::make_unique<Entry[]>(kChunkSize));
        }
        const auto index = static_cast<std::uint32_t>(size_++);
        slots_[i] = Slot{hash, index};
        Entry& entry = entryAt(index);
        entry.name = name;
        return entry.value;
    }

  private:
    struct Entry {
        std::string name;
        Value value{};
    };
    struct Slot {
        std::uint32_t hash;
        std::uint32_t index;
    };
    static constexpr std::uint32_t kEmpty = 0xffffffffU;
    static constexpr std::size_t kChunkBits = 8;
    static constexpr std::size_t kChunkSize = std::size_t(1) << kChunkBits;

    // Letters A-Z of all eight bytes made lower case at once: bytes of 'A' to
    // 'Z' (below 0x80) get 0x20 added; no sum carries into the next byte.
    static std::uint64_t foldWord(std::uint64_t word) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
        constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
        const std::uint64_t low = word & ~kHigh;
        const std::uint64_t atLeastA = low + kOnes * (0x80 - 'A');
        const std::uint64_t aboveZ = low + kOnes * (0x80 - 'Z' - 1);
        const std::uint64_t upper = atLeastA & ~aboveZ & ~word & kHigh;
        return word | (upper >> 2);
    }

    static std::uint64_t keyWord(std::uint64_t word) { return ignoreCase ? foldWord(word) : word; }

    // Eight bytes at a time: a byte at a time, hashing was most of a lookup.
    static std::uint32_t hashOf(std::string_view name) {
        constexpr std::uint64_t kMultiplier = 0x9e3779b97f4a7c15ULL;
        const char* const data = name.data();
        const std::size_t size = name.size();
        std::uint64_t hash = size * kMultiplier;
        std::size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, data + i, 8);
            hash = (hash ^ keyWord(word)) * kMultiplier;
            hash ^= hash >> 29;
        }
        // The last one to seven bytes: at least four are read as two words of
        // four that may overlap, fewer one by one.
        const std::size_t rest = size - i;
        if (rest >= 4) {
            std::uint32_t first;
            std::uint32_t last;
            std::memcpy(&first, data + i, 4);
            std::memcpy(&last, data + size - 4, 4);
            const std::uint64_t word = first | (std::uint64_t(last) << 32);
            hash = (hash ^ keyWord(word)) * kMultiplier;
        } else if (rest > 0) {
            std::uint64_t word = 0;
            for (std::size_t shift = 0; i < size; ++i, shift += 8) {
                word |= std::uint64_t(static_cast<unsigned char>(data[i])) << shift;
            }
            hash = (hash ^ keyWord(word)) * kMultiplier;
        }
        // The slot comes from the low bits, which a product alone leaves poor.
        hash ^= hash >> 33;
        hash *= 0xff51afd7ed558ccdULL;
        hash ^= hash >> 33;
        return static_cast<std::uint32_t>(hash);
    }

    static bool sameKey(std::string_view a, std::string_view b) {
        return ignoreCase ? sameName(a, b) : a == b;
    }

    // The slot holding the name, or the empty slot where it would go.
    std::size_t slotOf(std::string_view name, std::uint32_t hash) const {
        std::size_t i = hash & mask_;
        while (slots_[i].index != kEmpty &&
               !(slots_[i].hash == hash && sameKey(entryAt(slots_[i].index).name, name))) {
            i = (i + 1) & mask_;
        }
        return i;
    }

    Entry& entryAt(std::uint32_t index) const {
        return chunks_[index >> kChunkBits][index & (kChunkSize - 1)];
    }

    void grow() {
        const std::size_t capacity = slots_.empty() ? 64 : slots_.size() * 2;
        std::vector<Slot> slots(capacity, Slot{0, kEmpty});
        const std::size_t mask = capacity - 1;
        for (const Slot& slot : slots_) {
            if (slot.index != kEmpty) {
                std::size_t i = slot.hash & mask;
                while (slots[i].index != kEmpty) {
                    i = (i + 1) & mask;
                }
                slots[i] = slot;
            }
        }
        slots_.swap(slots);
        mask_ = mask;
    }

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::vector<std::unique_ptr<Entry[]>> chunks_;
    std::size_t size_ = 0;
};
