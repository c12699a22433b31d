#include "platform/TemporaryDirectory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

#ifdef _WIN32

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

#else

std::string temporaryDirectory() {
    const char* const set = std::getenv("TMPDIR");
    std::string directory = set != nullptr && *set != '\0' ? set : "/tmp";
    if (directory.back() != '/') {
        directory += '/';
    }
    return directory;
}

#endif
