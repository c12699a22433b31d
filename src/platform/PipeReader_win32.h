#pragma once

#include "platform/OutputSpool.h"
#include "platform/UniqueHandle_win32.h"

#include <windows.h>

#include <atomic>
#include <cstddef>

// A pipe whose read end a thread of its own drains as the writer fills it,
// so that the writer never blocks on a full pipe. The tool writes what it
// collects through text-mode streams, which turn each line feed into CR LF:
// the writer's own CR LF loses its CR, so as not to gain a second one.
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
    OutputSpool finish();

  private:
    static DWORD WINAPI readAll(void* reader);
    // Collects bytes read, without the CR of each CR LF.
    void take(const char* data, std::size_t size);

    UniqueHandle pipe_;
    UniqueHandle thread_;
    std::atomic<bool> stopping_{false};
    OutputSpool collected_;           // the thread's until it has ended
    bool carriageReturnHeld_ = false; // the last read ended in CR
};
