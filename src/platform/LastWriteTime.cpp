#include "platform/LastWriteTime.h"

#ifdef _WIN32
#include "platform/UniqueHandle_win32.h"
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#ifdef _WIN32

bool setLastWriteTime(const std::string& path, FileTime time) {
    // Directories open only with backup semantics; a link is opened itself.
    const UniqueHandle file(
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
        return false;
    }
    FILETIME written;
    written.dwLowDateTime = static_cast<DWORD>(time & 0xffffffffU);
    written.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return SetFileTime(file.get(), nullptr, nullptr, &written) != 0;
}

#else

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

#endif
