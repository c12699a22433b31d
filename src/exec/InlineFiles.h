#pragma once

#include <cstddef>
#include <string>

// The terminator of an inline file opened by the "<<" at `open` in a command
// line: the character after it, unless that is a blank or the line ends there;
// then "<<" itself.
std::string inlineTerminator(const std::string& line, std::size_t open);
