#include "platform/SystemPlatform.h"

#include "platform/LastWriteTime.h"
#include "platform/TemporaryDirectory.h"

// What both platforms do alike: the files of their own live in
// LastWriteTime_*, TemporaryFile_* and TemporaryDirectory_*.

bool SystemPlatform::setFileTime(const std::string& path, FileTime time) {
    return setLastWriteTime(path, time);
}

std::string SystemPlatform::freeTemporaryName() {
    return TemporaryFile::freeName(std::string());
}

TemporaryFile SystemPlatform::createTemporaryFile(TemporaryFile::Content content) {
    return TemporaryFile::create(std::string(), content);
}

TemporaryFile SystemPlatform::createPrivateTemporaryFile(TemporaryFile::Content content) {
    return TemporaryFile::create(temporaryDirectory(), content);
}
