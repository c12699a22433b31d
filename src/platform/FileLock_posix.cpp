#include "platform/FileLock.h"

#include <cerrno>
#include <sys/file.h>

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
