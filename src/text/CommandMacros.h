#pragma once

#include <string>

// The name up to its last "." (which may lie in a directory part); unchanged
// without any ".".
std::string withoutExtension(const std::string& name);
// The part after the last backslash, else after the last ":", else the name.
std::string withoutDirectory(const std::string& name);
// Replaces every occurrence of a two-character special macro, as if the line
// were searched again from its start after each replacement, so that an
// occurrence formed where the inserted text meets its neighbours is replaced
// too: "$$@" with "@a" gives "@aa". A replacement that could form the sequence
// again without bound (one that holds it, or ends with its first character
// and begins with its second) is inserted once per occurrence of the line as
// it stands instead. Either way the work is linear in the result.
void replaceSpecial(std::string& line, const char* sequence, const std::string& replacement);
