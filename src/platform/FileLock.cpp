#include "platform/FileLock.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <sys/file.h>
#endif

#ifdef _WIN32

namespace {

HANDLE handleOf(std::FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

} // namespace

FileLock::FileLock(std::FILE* file, Mode mode, bool wait) : file_(file) {
    OVERLAPPED whole = {};
    const DWORD flags = (mode == Mode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) |
                        (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    held_ = LockFileEx(handleOf(file_), flags, 0, MAXDWORD, MAXDWORD, &whole) != 0;
}

FileLock::~FileLock() {
    if (held_) {
        OVERLAPPED whole = {};
        UnlockFileEx(handleOf(file_), 0, MAXDWORD, MAXDWORD, &whole);
    }
}

#else

FileLock::FileLock(std::FILE* file, Mode mode, bool wait) : file_(file) {
    const int operation = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | (wait ? 0 : LOCK_NB);
    int result;
    do {
        result = flock(fileno(file_), operation);
    } while (result != 0 && errno == EINTR);
    held_ = result == 0;
}

FileLock::~FileLock() {
    if (held_) {
        flock(fileno(file_), LOCK_UN);
    }
}

#endif
