#include "platform/LastWriteTime.h"

#include "platform/UniqueHandle_win32.h"

#include <windows.h>

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
