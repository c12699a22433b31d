#include "platform/InterruptCleanup.h"

#include "platform/Interrupts.h"

#include <utility>

InterruptCleanup::InterruptCleanup(std::function<void()> cleanup)
    : cleanup_(std::move(cleanup)), previous_(setInterruptCleanup([this] {
          cleanup_();
          if (previous_) {
              previous_();
          }
      })) {}

InterruptCleanup::~InterruptCleanup() {
    setInterruptCleanup(std::move(previous_));
}

InterruptDeferral::InterruptDeferral() {
    deferInterrupts();
}

InterruptDeferral::~InterruptDeferral() {
    // In this order, an interrupt arriving in between ends the run at once.
    stopDeferringInterrupts();
    endIfInterrupted();
}
