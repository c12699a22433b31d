#include "exec/FileTimeCache.h"

void FileTimeCache::invalidate() {
    times_.clear();
    ++generation_;
}

std::uint32_t FileTimeCache::runProcess(const std::string& commandLine) {
    invalidate();
    const std::uint32_t code = system_.runProcess(commandLine);
    // The command may still have been writing when the cache was emptied.
    invalidate();
    return code;
}

std::uint32_t FileTimeCache::fileTime(const std::string& path) {
    const auto found = times_.find(path);
    if (found != times_.end()) {
        return found->second;
    }
    const std::uint32_t time = system_.fileTime(path);
    times_.emplace(path, time);
    return time;
}

std::optional<std::string> FileTimeCache::findFirstMatch(const std::string& pattern) {
    return system_.findFirstMatch(pattern);
}

void FileTimeCache::removeFile(const std::string& path) {
    invalidate();
    system_.removeFile(path);
}

std::string FileTimeCache::makeTempName() {
    // The caller is about to create the file.
    invalidate();
    return system_.makeTempName();
}

void FileTimeCache::sweepTemporaries() {
    invalidate();
    system_.sweepTemporaries();
}
