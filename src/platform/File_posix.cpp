#include "platform/File.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

std::string replaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? std::string() : std::strerror(errno);
}

bool flushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) {
        return false;
    }
    int result;
    do {
        result = fsync(fileno(file));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}
