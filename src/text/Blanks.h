#pragma once

// Blanks are spaces and tabs: they separate words and are trimmed from the ends
// of lines and values.
inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
