#pragma once

// Blanks are spaces and tabs: they separate words and are trimmed from the ends
// of lines and values.
inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Blanks and line ends: what may surround a whole text that is read as one value.
inline bool isBlankOrLineEnd(char c) {
    return isBlank(c) || c == '\r' || c == '\n';
}
