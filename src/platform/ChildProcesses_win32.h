#pragma once

#include "platform/PipeReader_win32.h"
#include "platform/Platform.h"
#include "platform/UniqueHandle_win32.h"

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Processes that run side by side, with standard input from the null device
// and standard output and error collected through pipes, which threads read
// as they fill so that no child blocks on them. All of them, and whatever
// they start, are held in one job, so that an interrupt ends them all.
class ChildProcesses {
  public:
    ChildProcesses() = default;
    ChildProcesses(const ChildProcesses&) = delete;
    ChildProcesses& operator=(const ChildProcesses&) = delete;

    std::uint64_t start(const std::string& commandLine);
    EndedProcess wait() { return *waitOr(INFINITE); }
    // Waits as wait() does, but returns nothing once `milliseconds` have passed.
    std::optional<EndedProcess> waitOr(DWORD milliseconds);

  private:
    struct Child {
        std::uint64_t id = 0;
        UniqueHandle process;
        PipeReader output;
        PipeReader errors;
    };

    EndedProcess end(std::size_t index);
    // Ends a command that could not be started, with the system's reason.
    std::uint64_t refuse(std::uint64_t id, const std::string& commandLine, DWORD error);
    // Ends every running command and all it started, as an interrupt asks.
    void stopAll();

    std::vector<std::unique_ptr<Child>> running_;
    std::vector<HANDLE> processes_;  // those of running_, in its order, for the waits
    std::deque<EndedProcess> ended_; // those that could not be started
    UniqueHandle null_;
    UniqueHandle job_;
    bool stopped_ = false; // by an interrupt
    std::uint64_t nextId_ = 1;
};
