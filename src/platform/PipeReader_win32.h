#pragma once

#include "platform/UniqueHandle_win32.h"

#include <windows.h>

#include <atomic>
#include <string>

// A pipe whose read end a thread of its own drains as the writer fills it,
// so that the writer never blocks on a full pipe.
class PipeReader {
  public:
    PipeReader() = default;
    ~PipeReader();
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    // Creates the pipe and starts reading. The write end, inheritable, is the
    // caller's to hand on and close. Returns 0 or the system's error.
    DWORD open(UniqueHandle& writeEnd);
    // Once the writer has ended: stops reading and gives all that was written.
    // A process that the writer left behind may hold the pipe open; what it
    // writes later is not waited for.
    std::string finish();

  private:
    static DWORD WINAPI readAll(void* reader);

    UniqueHandle pipe_;
    UniqueHandle thread_;
    std::atomic<bool> stopping_{false};
    std::string collected_; // the thread's until it has ended
};
