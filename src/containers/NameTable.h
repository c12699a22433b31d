#pragma once

#include "containers/NameCompare.h"

#include <cstddef>
#include <cstdint>
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

    static unsigned char keyByte(char c) {
        const auto byte = static_cast<unsigned char>(c);
        return ignoreCase ? foldName(byte) : byte;
    }

    // FNV-1a, cheap on the short names of a build.
    static std::uint32_t hashOf(std::string_view name) {
        std::uint64_t hash = 1469598103934665603ULL;
        for (const char c : name) {
            hash ^= keyByte(c);
            hash *= 1099511628211ULL;
        }
        return static_cast<std::uint32_t>(hash ^ (hash >> 32));
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
