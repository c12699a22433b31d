#include "platform/FoundPrograms.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// The errors of a directory's candidate after which the system's own search
// goes on with the next directory; any other ends it there.
bool searchGoesOn(int error) {
    return error == ENOENT || error == ENOTDIR || error == EACCES || error == ESTALE ||
           error == ENODEV || error == ETIMEDOUT;
}

// What the system's search would start: the first regular file executable by
// the tool among the directories of PATH in turn, an empty one standing for
// the current directory. Empty when there is none, when PATH is not set (the
// system's default path applies then), and where the system's search would
// stop at an error.
std::string searchPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return std::string();
    }
    std::string candidate;
    for (const char* start = path;;) {
        const char* colon = std::strchr(start, ':');
        const std::size_t length =
            colon != nullptr ? static_cast<std::size_t>(colon - start) : std::strlen(start);
        candidate.assign(start, length);
        if (candidate.empty()) {
            candidate = ".";
        }
        candidate += '/';
        candidate += name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0) {
            if (S_ISREG(info.st_mode) &&
                faccessat(AT_FDCWD, candidate.c_str(), X_OK, AT_EACCESS) == 0) {
                return candidate;
            }
        } else if (!searchGoesOn(errno)) {
            return std::string();
        }
        if (colon == nullptr) {
            return std::string();
        }
        start = colon + 1;
    }
}

} // namespace

const std::string* FoundPrograms::find(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return nullptr;
    }
    auto found = paths_.find(name);
    if (found == paths_.end()) {
        found = paths_.emplace(name, searchPath(name)).first;
    }
    return found->second.empty() ? nullptr : &found->second;
}

void FoundPrograms::forget(const std::string& name) {
    paths_[name].clear();
}
