#pragma once

#include <functional>

// Registers the work to do before an interrupted run ends (Interrupts.h) for
// the lifetime of this object, so that the work, and whatever it refers to,
// never outlives the scope that made it; the work registered before comes back
// when it ends.
class InterruptCleanup {
  public:
    explicit InterruptCleanup(std::function<void()> cleanup);
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

  private:
    std::function<void()> previous_;
};
