#include "text/CommandLineSplit.h"

#include "text/Blanks.h"

std::vector<std::string> splitCommandLine(const std::string& text) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        if (text[i] == '"') {
            const std::size_t close = text.find('"', i + 1);
            const std::size_t end = close == std::string::npos ? n : close;
            arguments.push_back(text.substr(i + 1, end - i - 1));
            i = close == std::string::npos ? n : close + 1;
            continue;
        }
        std::size_t end = i;
        while (end < n && !isBlank(text[end]) && text[end] != '"') {
            ++end;
        }
        arguments.push_back(text.substr(i, end - i));
        i = end < n ? end + 1 : n;
    }
    return arguments;
}

std::string skipProgramName(const std::string& commandLine) {
    const auto isBlankOrControl = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const std::size_t n = commandLine.size();
    std::size_t i = 0;
    if (n > 0 && commandLine[0] == '"') {
        const std::size_t close = commandLine.find('"', 1);
        i = close == std::string::npos ? n : close + 1;
    } else {
        while (i < n && !isBlankOrControl(commandLine[i])) {
            ++i;
        }
    }
    while (i < n && isBlankOrControl(commandLine[i])) {
        ++i;
    }
    return commandLine.substr(i);
}
