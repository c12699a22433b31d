#include "rules/DependencyNames.h"

#include <functional>

namespace {

std::uint32_t hashOf(std::string_view name) {
    const std::uint64_t hash = std::hash<std::string_view>()(name);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

} // namespace

void DependencyNames::add(std::string_view name) {
    if ((names_.size() + 1) * 4 > slots_.size() * 3) {
        grow();
    }
    const std::uint32_t hash = hashOf(name);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].index != kEmpty) {
        if (slots_[i].hash == hash && names_[slots_[i].index] == name) {
            return;
        }
        i = (i + 1) & mask;
    }
    slots_[i] = Slot{hash, static_cast<std::uint32_t>(names_.size())};
    names_.emplace_back(name);
}

void DependencyNames::clear() {
    names_.clear();
    slots_.clear();
}

void DependencyNames::grow() {
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
}
