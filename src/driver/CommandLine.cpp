#include "driver/CommandLine.h"

#include "text/Blanks.h"

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
