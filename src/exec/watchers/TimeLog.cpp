#include "exec/watchers/TimeLog.h"

#include "exec/RunClock.h"
#include "platform/File.h"
#include "platform/FileLock.h"
#include "text/Diagnostics.h"

#include <cinttypes>
#include <cstdlib>
#include <vector>

namespace {

struct Sum {
    double total = 0;
    std::size_t count = 0;
};

bool isNumber(const std::string& text, bool maySign) {
    std::size_t i = maySign && !text.empty() && text[0] == '-' ? 1 : 0;
    if (i == text.size()) {
        return false;
    }
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return text.size() < 19;
}

bool isHash(const std::string& text) {
    if (text.size() != 16) {
        return false;
    }
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

// The target and the duration of one line; false when it is damaged.
bool parseLine(const std::string& line, std::string& target, std::int64_t& duration) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    while (fields.size() < 4) {
        const std::size_t tab = line.find('\t', from);
        if (tab == std::string::npos) {
            return false;
        }
        fields.push_back(line.substr(from, tab - from));
        from = tab + 1;
    }
    target = line.substr(from);
    if (target.empty() || !isNumber(fields[0], false) || !isNumber(fields[1], false) ||
        !isNumber(fields[2], true) || !isHash(fields[3])) {
        return false;
    }
    const std::int64_t start = std::strtoll(fields[0].c_str(), nullptr, 10);
    const std::int64_t end = std::strtoll(fields[1].c_str(), nullptr, 10);
    duration = end - start;
    return duration >= 0;
}

} // namespace

std::uint64_t TimeLog::hashOf(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

void TimeLog::started(std::uint64_t id, const std::string&, const std::string&, bool) {
    starts_[id] = clock_.microseconds() / 1000;
}

void TimeLog::ended(std::uint64_t id, const std::string& target, const std::string& text,
                    int status) {
    const auto found = starts_.find(id);
    if (found == starts_.end()) {
        return;
    }
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%" PRId64 "\t%" PRId64 "\t%d\t%016" PRIx64 "\t",
                  found->second, clock_.microseconds() / 1000, status, hashOf(text));
    starts_.erase(found);
    lines_ += numbers;
    lines_ += target;
    lines_ += '\n';
}

void TimeLog::save() {
    if (lines_.empty()) {
        return;
    }
    // Taken at once, so that a record that cannot be written is said once.
    const std::string lines = std::move(lines_);
    lines_.clear();
    const File file(std::fopen(path_.c_str(), "ab"));
    if (!file) {
        diagnostics_.note("cannot append to the record of times %s", path_.c_str());
        return;
    }
    const FileLock lock(file.get(), FileLock::Mode::Exclusive);
    std::fwrite(lines.data(), 1, lines.size(), file.get());
    if (std::fflush(file.get()) != 0) {
        diagnostics_.note("cannot append to the record of times %s", path_.c_str());
    }
}

std::unordered_map<std::string, double> TimeLog::readDurations(const std::string& path,
                                                               Diagnostics& diagnostics) {
    std::unordered_map<std::string, Sum> sums;
    const File file(std::fopen(path.c_str(), "rb"));
    if (file) {
        const FileLock lock(file.get(), FileLock::Mode::Shared);
        std::string line;
        std::string target;
        long number = 0;
        int c;
        do {
            c = std::fgetc(file.get());
            if (c != '\n' && c != EOF) {
                line += static_cast<char>(c);
                continue;
            }
            if (c == EOF && line.empty()) {
                break;
            }
            ++number;
            std::int64_t duration = 0;
            // A line that does not end is damaged too: its run was cut short.
            if (c == EOF || !parseLine(line, target, duration)) {
                diagnostics.note("%s, line %ld: damaged line skipped", path.c_str(), number);
            } else {
                Sum& sum = sums[target];
                sum.total += static_cast<double>(duration);
                ++sum.count;
            }
            line.clear();
        } while (c != EOF);
    }
    std::unordered_map<std::string, double> means;
    for (const auto& [target, sum] : sums) {
        means[target] = sum.total / static_cast<double>(sum.count);
    }
    return means;
}
