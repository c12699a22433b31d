#pragma once

#include <cstddef>
#include <cstdint>

class Jobserver;

// The commands that may run at once: the first for free, each further one
// while a token of the jobserver (if there is one) is held for it, and never
// more than the limit. Tokens go back as soon as the commands that needed
// them have ended, and all of them when the slots go.
class JobSlots {
  public:
    JobSlots(unsigned limit, Jobserver* jobserver) : limit_(limit), jobserver_(jobserver) {}
    JobSlots(const JobSlots&) = delete;
    JobSlots& operator=(const JobSlots&) = delete;
    ~JobSlots() { settle(0); }

    // Whether one more command may start beside `running` ones; takes a token
    // for it when it needs one. Never waits.
    bool mayStart(std::size_t running);
    // Gives back the tokens that `running` commands do not need.
    void settle(std::size_t running);
    // What a wait may watch for a token to turn up; -1 when there is nothing.
    std::intptr_t readiness(std::size_t running) const;

  private:
    const unsigned limit_;
    Jobserver* const jobserver_;
    std::size_t held_ = 0;
};
