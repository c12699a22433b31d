#pragma once

#include "containers/NameTable.h"

#include <memory>
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
    std::vector<std::string> names_;
    std::unique_ptr<NameTable<bool>> seen_ = std::make_unique<NameTable<bool>>();
};
