#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Follows the inline-file blocks among a rule's command lines. A line holding
// "<<" opens a block; its terminator is the character after the "<<" unless
// that is a blank or the line ends there, and then "<<" itself. While a block
// is open, the first line holding the terminator (letter case counts) closes
// it; the opening line is not searched for it.
class InlineBlock {
  public:
    enum class Role {
        Command, // outside any block
        Opening, // opens a block at `at`, the "<<"
        Content, // inside a block
        Closing  // closes the block; its terminator starts at `at`
    };
    struct Step {
        Role role;
        std::size_t at;
    };

    Step feed(std::string_view line);
    bool isOpen() const { return open_; }

  private:
    bool open_ = false;
    std::string terminator_;
};
