#include "platform/TemporaryDirectory.h"

#include <cstdlib>

std::string temporaryDirectory() {
    const char* const set = std::getenv("TMPDIR");
    std::string directory = set != nullptr && *set != '\0' ? set : "/tmp";
    if (directory.back() != '/') {
        directory += '/';
    }
    return directory;
}
