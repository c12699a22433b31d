#pragma once

#include <string>

// The name up to its last "." (which may lie in a directory part); unchanged
// without any ".".
std::string withoutExtension(const std::string& name);
// The part after the last backslash, else after the last ":", else the name.
std::string withoutDirectory(const std::string& name);
// Replaces every occurrence of a two-character special macro. The search goes
// on just after each inserted text, so a replacement that holds the sequence
// itself is not expanded again and the work stays linear.
void replaceSpecial(std::string& line, const char* sequence, const std::string& replacement);
