#include "text/Delimiters.h"

namespace {

struct DelimiterTable {
    bool marks[256] = {};
    constexpr DelimiterTable() {
        for (const char* c = " \t\r\n\\$,()*&^%$#@![]{}|/-+=<>?:"; *c != '\0'; ++c) {
            marks[static_cast<unsigned char>(*c)] = true;
        }
    }
};

// Names are scanned a character at a time on every definition and condition.
constexpr DelimiterTable kDelimiterTable;

} // namespace

bool isDelimiter(char c) {
    return kDelimiterTable.marks[static_cast<unsigned char>(c)];
}
