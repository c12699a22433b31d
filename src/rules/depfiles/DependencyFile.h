#pragma once

#include "rules/depfiles/DependencyNames.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The names a compiler's dependency file lists: the make rules of gcc and
// clang (-MD, -MMD) or the JSON of MSVC (/sourceDependencies), told apart by
// their content. Each name counts once, in file order. The JSON's names are
// Unicode, and come as the file system sees them in this run.
class DependencyFile {
  public:
    // A larger file is no compiler's list of headers: it is not read.
    static constexpr std::size_t kLargest = std::size_t{64} << 20;

    // Reads the file at path. A missing file is no failure: it lists no
    // names. False when it cannot be read, is no regular file or is larger
    // than kLargest, or holds neither form.
    bool read(const std::string& path);

    // The content of a dependency file; false when it holds neither form.
    bool parse(std::string_view content);

    // The names of the last successful read or parse; none after a failure.
    const std::vector<std::string>& names() const { return names_.names(); }

    // Why the last read or parse failed, in one line.
    const std::string& failure() const { return failure_; }

    // Why names of the last successful read or parse were passed over, a line
    // each: Unicode names that this run's file names cannot spell.
    const std::vector<std::string>& passedOver() const { return passedOver_; }

  private:
    bool parseSourceDependencies(std::string_view content);
    bool tooLarge();
    bool fail(std::string reason);

    DependencyNames names_;
    std::string failure_;
    std::vector<std::string> passedOver_;
};
