#pragma once

#include <string>
#include <vector>

// Splits command-line text into arguments: blanks and tabs separate, a double
// quote opens an argument that runs to the next double quote, and a double
// quote ending a plain argument is only a separator. There is no escape.
std::vector<std::string> splitCommandLine(const std::string& text);

// The command-line text after the program name, skipped as a Windows program's
// start-up does: a name in double quotes runs to the closing quote, any other
// name to the first blank or control character; then blanks and control
// characters are dropped.
std::string skipProgramName(const std::string& commandLine);
