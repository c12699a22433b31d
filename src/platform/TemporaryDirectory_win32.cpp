#include "platform/TemporaryDirectory.h"

#include <windows.h>

std::string temporaryDirectory() {
    char path[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof path, path);
    // Without one, the current directory is the only place left.
    if (length == 0 || length > sizeof path) {
        return std::string();
    }
    std::string directory(path, length);
    if (directory.back() != '\\' && directory.back() != '/') {
        directory += '\\';
    }
    return directory;
}
