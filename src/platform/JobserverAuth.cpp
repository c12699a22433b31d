#include "platform/JobserverAuth.h"

#include <cstdlib>
#include <optional>

namespace {

// A descriptor number, negative ones included; nothing when the text is none.
std::optional<int> descriptorIn(const std::string& text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) {
        return std::nullopt;
    }
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
    }
    return std::atoi(text.c_str());
}

std::string lastValueOf(const std::string& makeflags, const std::string& option, std::size_t& at) {
    std::string value;
    for (std::size_t found = makeflags.find(option); found != std::string::npos;
         found = makeflags.find(option, found + 1)) {
        if (found != 0 && makeflags[found - 1] != ' ' && makeflags[found - 1] != '\t') {
            continue;
        }
        const std::size_t start = found + option.size();
        const std::size_t end = makeflags.find_first_of(" \t", start);
        value = makeflags.substr(start, end == std::string::npos ? end : end - start);
        at = found;
    }
    return value;
}

} // namespace

JobserverAuth jobserverAuthIn(const std::string& makeflags) {
    JobserverAuth auth;
    std::size_t authAt = 0;
    std::size_t fdsAt = 0;
    std::string value = lastValueOf(makeflags, "--jobserver-auth=", authAt);
    const std::string fds = lastValueOf(makeflags, "--jobserver-fds=", fdsAt);
    if (!fds.empty() && (value.empty() || fdsAt > authAt)) {
        value = fds;
    }
    if (value.empty()) {
        return auth;
    }
    if (value.compare(0, 5, "fifo:") == 0) {
        if (value.size() > 5) {
            auth.kind = JobserverAuth::Kind::Fifo;
            auth.name = value.substr(5);
        }
        return auth;
    }
    const std::size_t comma = value.find(',');
    if (comma != std::string::npos) {
        const std::optional<int> readFd = descriptorIn(value.substr(0, comma));
        const std::optional<int> writeFd = descriptorIn(value.substr(comma + 1));
        if (readFd && writeFd) {
            // A negative descriptor disables the jobserver for this process.
            if (*readFd >= 0 && *writeFd >= 0) {
                auth.kind = JobserverAuth::Kind::Pipe;
                auth.readFd = *readFd;
                auth.writeFd = *writeFd;
            }
            return auth;
        }
    }
    auth.kind = JobserverAuth::Kind::Semaphore;
    auth.name = value;
    return auth;
}
