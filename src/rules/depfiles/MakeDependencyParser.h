#pragma once

#include <string>
#include <string_view>

class DependencyNames;

// The make rules that compilers write as dependency files (gcc and clang
// with -MD or -MMD): rules "targets: prerequisites" with continued lines and
// escaped blanks. The prerequisites of all rules are the names; the targets
// only have to be there.
class MakeDependencyParser {
  public:
    // Adds the prerequisites to names; false with a one-line reason when the
    // text is no such file.
    static bool parse(std::string_view text, DependencyNames& names, std::string& reason);
};
