#include "driver/CommandLine.h"

#include "text/Blanks.h"

#include <algorithm>
#include <thread>
#include <vector>

const std::vector<LongOption>& longOptions() {
    static const std::vector<LongOption> options = {
        {"--help", false},    {"--version", false},  {"--dry-run", false},
        {"--explain", false}, {"--graph", false},    {"--keep-going", false},
        {"--compdb", false},  {"--progress", true},  {"--trace", true},
        {"--strict", false},  {"--directory", true}, {"--jobserver-style", true},
        {"--jobs", true},
    };
    return options;
}

namespace {

bool isNumber(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// Sets the number of jobs from its text; an empty text means every processor.
void takeJobs(Options& options, const std::string& argument, const std::string& count) {
    options.jobsGiven = true;
    if (count.empty()) {
        const unsigned processors = std::thread::hardware_concurrency();
        options.jobs = processors > 0 ? processors : 1;
        return;
    }
    // A count beyond any machine's processes is as good as "many".
    const std::string digits = count.size() > 6 ? std::string("999999") : count;
    if (!isNumber(count) || std::stoul(digits) == 0) {
        options.invalid = argument;
        return;
    }
    options.jobs = static_cast<unsigned>(std::stoul(digits));
}

const LongOption* findLongOption(const std::string& name) {
    for (const LongOption& option : longOptions()) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

// A long option ("--name" or "--name=value"); false for one that is not known.
bool takeLongOption(Options& options, const std::vector<std::string>& arguments, std::size_t& i) {
    const std::string& argument = arguments[i];
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const bool hasValue = equals != std::string::npos;
    const std::string value = hasValue ? argument.substr(equals + 1) : std::string();
    const LongOption* option = findLongOption(name);
    if (option == nullptr || (hasValue && !option->takesValue)) {
        return false;
    }
    if (name == "--help") {
        options.help = true;
    } else if (name == "--version") {
        options.version = true;
    } else if (name == "--dry-run") {
        options.dryRun = true;
    } else if (name == "--explain") {
        options.explain = true;
    } else if (name == "--graph") {
        options.graph = true;
    } else if (name == "--keep-going") {
        options.keepGoing = true;
    } else if (name == "--compdb") {
        options.compilationDatabase = true;
    } else if (name == "--progress") {
        if (value == "yes") {
            options.progress = Options::Progress::Yes;
        } else if (value == "no") {
            options.progress = Options::Progress::No;
        } else if (value == "auto") {
            options.progress = Options::Progress::Auto;
        } else {
            options.invalid = argument;
        }
    } else if (name == "--trace") {
        // Like --directory: the next argument is the file, whatever it looks like.
        if (!hasValue && i + 1 < arguments.size()) {
            options.traceFile = arguments[++i];
        } else {
            options.traceFile = value;
        }
        if (options.traceFile.empty()) {
            options.invalid = argument;
        }
    } else if (name == "--strict") {
        options.strict = true;
    } else if (name == "--directory") {
        // Like -f, the next argument is the name, whatever it looks like.
        if (!hasValue && i + 1 < arguments.size()) {
            options.directory = arguments[++i];
        } else {
            options.directory = value;
        }
        if (options.directory.empty()) {
            options.invalid = argument;
        }
    } else if (name == "--jobserver-style") {
        // Two inherited descriptors by default, which every client reads; a
        // named pipe for newer ones ("sem" names Windows' only form).
        if (value == "pipe") {
            options.jobserverStyle = JobserverStyle::Pipe;
        } else if (value == "fifo") {
            options.jobserverStyle = JobserverStyle::Fifo;
        } else if (value == "sem") {
            options.jobserverStyle = JobserverStyle::Default;
        } else {
            options.invalid = argument;
        }
    } else if (name == "--jobs") {
        // As -j: the next argument is the count when it is a number.
        if (hasValue) {
            takeJobs(options, argument, value.empty() ? std::string("0") : value);
        } else if (i + 1 < arguments.size() && isNumber(arguments[i + 1])) {
            takeJobs(options, argument, arguments[++i]);
        } else {
            takeJobs(options, argument, std::string());
        }
    } else {
        return false;
    }
    return true;
}

// The edits that turn one text into the other, a swap of neighbours counting as one.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        d[i][0] = i;
    }
    for (std::size_t j = 0; j <= b.size(); ++j) {
        d[0][j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

} // namespace

std::string nearestLongOption(const std::string& unknown) {
    // Option names are short: the text beyond them cannot be near anything.
    const std::string name = unknown.substr(0, std::min<std::size_t>(unknown.find('='), 32));
    constexpr std::size_t kNear = 2;
    std::string nearest;
    std::size_t best = kNear + 1;
    bool alone = false;
    for (const LongOption& option : longOptions()) {
        const std::size_t distance = editDistance(name, option.name);
        if (distance < best) {
            best = distance;
            nearest = option.name;
            alone = true;
        } else if (distance == best) {
            alone = false;
        }
    }
    return alone ? nearest : std::string();
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
            } else if (option == 'h' || option == 'H' || option == '?') {
                options.help = true;
            } else if (option == 'j' || option == 'J') {
                std::string count = argument.substr(2);
                if (count.empty() && i + 1 < arguments.size() && isNumber(arguments[i + 1])) {
                    count = arguments[++i];
                }
                takeJobs(options, argument, count);
            } else if (argument[0] == '-' && option == '-') {
                if (!takeLongOption(options, arguments, i) && options.unknown.empty()) {
                    options.unknown = argument;
                }
            } else {
                options.ignored.push_back(argument);
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
