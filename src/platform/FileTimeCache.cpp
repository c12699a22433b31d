#include "platform/FileTimeCache.h"

#include "platform/TempNames.h"

std::uint32_t FileTimeCache::runProcess(const std::string& commandLine, FoundPrograms& programs) {
    invalidate();
    const std::uint32_t code = system_.runProcess(commandLine, programs);
    // The command may still have been writing when the cache was emptied.
    invalidate();
    return code;
}

std::uint64_t FileTimeCache::startProcess(const std::string& commandLine, FoundPrograms& programs) {
    invalidate();
    return system_.startProcess(commandLine, programs);
}

EndedProcess FileTimeCache::waitForProcess() {
    EndedProcess ended = system_.waitForProcess();
    invalidate();
    return ended;
}

std::optional<EndedProcess> FileTimeCache::waitForProcessOr(std::intptr_t wake, int milliseconds) {
    std::optional<EndedProcess> ended = system_.waitForProcessOr(wake, milliseconds);
    if (ended) {
        invalidate();
    }
    return ended;
}

FileTime FileTimeCache::fileTime(const std::string& path) {
    if (stampsAlways_ && !hasWildcard(path)) {
        return stampOf(path).time;
    }
    Known& known = times_[path];
    if (known.generation != generation_) {
        known.time = system_.fileTime(path);
        known.version = 0;
        known.generation = generation_;
    }
    return known.time;
}

FileStamp FileTimeCache::fileStamp(const std::string& path) {
    // A time may come from the first match of a wildcard, which a stamp never
    // does: such names keep their time to themselves.
    if (hasWildcard(path)) {
        return system_.fileStamp(path);
    }
    return stampOf(path);
}

FileStamp FileTimeCache::stampOf(const std::string& path) {
    Known& known = times_[path];
    if (known.generation != generation_ || (known.time != 0 && known.version == 0)) {
        const FileStamp stamp = system_.fileStamp(path);
        known.time = stamp.time;
        known.version = stamp.version;
        known.generation = generation_;
    }
    return {known.time, known.version};
}

// Reading changes no file.
std::optional<FileDigest> FileTimeCache::fileDigest(const std::string& path) {
    return system_.fileDigest(path);
}

EntryKind FileTimeCache::entryKind(const std::string& path) {
    return system_.entryKind(path);
}

bool FileTimeCache::removeFile(const std::string& path) {
    invalidate();
    return system_.removeFile(path);
}

bool FileTimeCache::setFileTime(const std::string& path, FileTime time) {
    invalidate();
    return system_.setFileTime(path, time);
}

std::string FileTimeCache::freeTemporaryName() {
    return system_.freeTemporaryName();
}

TemporaryFile FileTimeCache::createTemporaryFile(TemporaryFile::Content content) {
    invalidate();
    return system_.createTemporaryFile(content);
}

TemporaryFile FileTimeCache::createPrivateTemporaryFile(TemporaryFile::Content content) {
    return system_.createPrivateTemporaryFile(content);
}

void FileTimeCache::sweepTemporaries() {
    invalidate();
    system_.sweepTemporaries();
}
