#include "platform/LastWriteTime.h"

#include <fcntl.h>
#include <sys/stat.h>

bool setLastWriteTime(const std::string& path, FileTime time) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    // Seconds before 1970 are negative; a file system that cannot hold them
    // keeps its own oldest time instead.
    times[1].tv_sec = static_cast<time_t>(
        static_cast<std::int64_t>(time / kFileTimeUnitsPerSecond) - kSecondsFrom1601To1970);
    times[1].tv_nsec = static_cast<long>(time % kFileTimeUnitsPerSecond);
    return utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}
