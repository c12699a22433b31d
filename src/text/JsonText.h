#pragma once

#include <string>
#include <string_view>

// Appends the text as a JSON string, quotes included. Valid UTF-8 passes
// through; any other byte stands for the Latin-1 character of its value, as
// a JSON text must be UTF-8 throughout.
void appendJsonString(std::string& out, std::string_view text);
