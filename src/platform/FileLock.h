#pragma once

#include <cstdio>

// A lock on a whole open file, held while the object lives, advisory on
// POSIX (flock) and mandatory on Windows (LockFileEx). Runs of the tool that
// share a file take it: shared to read, exclusive to write.
class FileLock {
  public:
    enum class Mode { Shared, Exclusive };

    // Waits for the lock, unless `wait` is false: held() then says whether
    // it was free.
    FileLock(std::FILE* file, Mode mode, bool wait = true);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return held_; }

  private:
    std::FILE* file_;
    bool held_ = false;
};
