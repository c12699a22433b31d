#include "text/CommandMacros.h"

std::string withoutExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string withoutDirectory(const std::string& name) {
    std::size_t separator = name.rfind('\\');
    if (separator == std::string::npos) {
        separator = name.rfind(':');
    }
    return separator == std::string::npos ? name : name.substr(separator + 1);
}

void replaceSpecial(std::string& line, const char* sequence, const std::string& replacement) {
    const std::size_t length = 2;
    std::size_t found = line.find(sequence, 0, length);
    if (found == std::string::npos) {
        return;
    }
    std::string result;
    result.reserve(line.size() + replacement.size());
    std::size_t from = 0;
    while (found != std::string::npos) {
        result.append(line, from, found - from);
        result += replacement;
        from = found + length;
        found = line.find(sequence, from, length);
    }
    result.append(line, from, std::string::npos);
    line.swap(result);
}
