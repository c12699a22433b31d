#pragma once

#include <chrono>
#include <cstdint>

// Time since the run started, for what records when commands ran.
class RunClock {
  public:
    std::int64_t microseconds() const {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now() - start_)
            .count();
    }

  private:
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};
