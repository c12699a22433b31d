#pragma once

#include "platform/FileTime.h"

#include <cstdint>
#include <initializer_list>

// What tells one version of a file from another without reading it, taken in
// one query of the file system.
struct FileStamp {
    FileTime time = 0; // the last-write time; 0: no file
    // The size, the last-write time and the file's identity (device and inode,
    // and the inode's change time, which no program can set back, on POSIX;
    // volume serial number and file index on Windows) folded into one value.
    // Equal versions are the same version of the file, but for a 1 in 2^64
    // chance; 0 when it is not known.
    std::uint64_t version = 0;

    bool exists() const { return time != 0; }
};

inline bool operator==(const FileStamp& a, const FileStamp& b) {
    return a.time == b.time && a.version == b.version;
}
inline bool operator!=(const FileStamp& a, const FileStamp& b) {
    return !(a == b);
}

// A file's content digest (ContentHash) and the stamp of the version read.
struct FileDigest {
    FileStamp stamp; // its version is 0 when the file changed while it was read
    std::uint64_t digest = 0;
    // The platform's clock, in FileTime units, when the reading ended. A file
    // written shortly before it can change again within the file system's
    // resolution of times without its stamp showing it.
    FileTime readAt = 0;
};

// The version of a stamp from what the platform knows of the file. Taken for
// every file a run looks at, so folded by a multiply and a shift per field,
// each step one-to-one: two versions of a file that differ in one field
// never fold alike, and in several only by a 1 in 2^64 chance.
inline std::uint64_t fileVersion(std::uint64_t size, FileTime time, std::uint64_t device,
                                 std::uint64_t index, std::uint64_t change) {
    std::uint64_t version = 0x27d4eb2f165667c5ULL;
    for (const std::uint64_t field : {size, time, device, index, change}) {
        version = (version ^ field) * 0x9e3779b97f4a7c15ULL;
        version ^= version >> 29;
    }
    return version == 0 ? 1 : version;
}
