#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The names a dependency file lists, in file order, each once. Names are
// compared byte for byte: on a file system that tells letter case apart, two
// spellings are two files, and a second look at one file costs little.
class DependencyNames {
  public:
    // Appends the name unless it is already there.
    void add(std::string_view name);
    void clear();

    const std::vector<std::string>& names() const { return names_; }

  private:
    struct Slot {
        std::uint32_t hash;
        std::uint32_t index;
    };
    static constexpr std::uint32_t kEmpty = 0xffffffffU;

    void grow();

    std::vector<std::string> names_;
    // Open addressing over indexes into names_, so that each name is stored once.
    std::vector<Slot> slots_;
};
