#include "platform/FileLock.h"

#include <io.h>
#include <windows.h>

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
