#include "exec/InlineFiles.h"

std::string inlineTerminator(const std::string& line, std::size_t open) {
    const std::size_t after = open + 2;
    if (after < line.size() && line[after] != ' ' && line[after] != '\t') {
        return std::string(1, line[after]);
    }
    return "<<";
}
