#include "driver/CommandLine.h"

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

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

Options scanArguments(const std::vector<std::string>& arguments) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!argument.empty() && (argument[0] == '-' || argument[0] == '/')) {
            const char option = argument.size() > 1 ? argument[1] : '\0';
            if (option == 'f' || option == 'F') {
                if (argument.size() > 2) {
                    options.makefileName = argument.substr(2);
                } else if (i + 1 < arguments.size()) {
                    options.makefileName = arguments[++i];
                }
            } else if (option == 'k' || option == 'K') {
                options.keepTemporaries = true;
            } else if (option == 'p' || option == 'P') {
                options.print = true;
            } else if (option == 'h' || option == 'H' || option == '?' || argument == "--help") {
                options.help = true;
            } else if (argument == "--version") {
                options.version = true;
            }
            continue;
        }
        const std::size_t equals = argument.find('=');
        if (equals == std::string::npos) {
            options.targets.push_back(argument);
            continue;
        }
        std::size_t start = 0;
        while (start < argument.size() && argument[start] == '=') {
            ++start;
        }
        const std::size_t nameEnd = argument.find('=', start);
        std::string name = argument.substr(start, nameEnd - start);
        std::string value;
        if (nameEnd != std::string::npos) {
            std::size_t from = nameEnd + 1;
            while (from < argument.size() && isBlank(argument[from])) {
                ++from;
            }
            std::size_t to = from;
            while (to < argument.size() && !isBlank(argument[to])) {
                ++to;
            }
            value = argument.substr(from, to - from);
        }
        options.definitions.emplace_back(std::move(name), std::move(value));
    }
    return options;
}

bool splitEnvironmentEntry(const std::string& entry, std::string& name, std::string& value) {
    const auto isSeparator = [](char c) { return c == ' ' || c == '\t' || c == '='; };
    std::size_t i = 0;
    const std::size_t n = entry.size();
    while (i < n && isSeparator(entry[i])) {
        ++i;
    }
    if (i == n) {
        return false;
    }
    std::size_t end = i;
    while (end < n && !isSeparator(entry[end])) {
        ++end;
    }
    name = entry.substr(i, end - i);
    i = end;
    while (i < n && isSeparator(entry[i])) {
        ++i;
    }
    end = i;
    while (end < n && !isSeparator(entry[end])) {
        ++end;
    }
    value = entry.substr(i, end - i);
    return true;
}
