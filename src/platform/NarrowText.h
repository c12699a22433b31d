#pragma once

#include <string>
#include <string_view>

// Text in UTF-8 (a makefile that begins with a byte-order mark, a compiler's
// JSON) as this run's names and command lines spell it. On Windows that is
// the ANSI code page, which the system's narrow calls, the environment, the
// tool's own command line and most programs' arguments speak; elsewhere it is
// the UTF-8 itself.

// Converts the text. False when a character has no equivalent in the code
// page, or the text is no UTF-8: such a character stands as "?".
bool narrowFromUtf8(std::string_view utf8, std::string& narrow);

// The code page named for messages: "the ANSI code page 1252"; empty where
// the text stays UTF-8.
std::string narrowEncodingName();
