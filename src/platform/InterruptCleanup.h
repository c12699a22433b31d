#pragma once

#include <functional>

// Registers work to do before an interrupted run ends (Interrupts.h) for the
// lifetime of this object, so that the work, and whatever it refers to, never
// outlives the scope that made it. Work registered before, by an enclosing
// scope, is done after this one's, and is all that is registered again when
// this object goes.
class InterruptCleanup {
  public:
    explicit InterruptCleanup(std::function<void()> cleanup);
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

  private:
    std::function<void()> cleanup_;
    std::function<void()> previous_;
};

// Defers interrupts (Interrupts.h) for its lifetime: the build holds one, and
// checks for an interrupt at each step. When it goes, an interrupt that came
// meanwhile ends the run, with the cleanups still registered.
class InterruptDeferral {
  public:
    InterruptDeferral();
    ~InterruptDeferral();
    InterruptDeferral(const InterruptDeferral&) = delete;
    InterruptDeferral& operator=(const InterruptDeferral&) = delete;
};
