#pragma once

#include "exec/Platform.h"

#include <cstdint>
#include <deque>
#include <string>

// Processes that run side by side. For now each runs to its end when it is
// started, its output going straight to the console.
class ChildProcesses {
  public:
    explicit ChildProcesses(Platform& platform) : platform_(platform) {}

    std::uint64_t start(const std::string& commandLine);
    EndedProcess wait();

  private:
    Platform& platform_;
    std::deque<EndedProcess> ended_;
    std::uint64_t nextId_ = 1;
};
