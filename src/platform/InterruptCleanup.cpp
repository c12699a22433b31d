#include "platform/InterruptCleanup.h"

#include "platform/Interrupts.h"

#include <utility>

InterruptCleanup::InterruptCleanup(std::function<void()> cleanup)
    : previous_(setInterruptCleanup(std::move(cleanup))) {}

InterruptCleanup::~InterruptCleanup() {
    setInterruptCleanup(std::move(previous_));
}
