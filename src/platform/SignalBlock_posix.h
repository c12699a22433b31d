#pragma once

#include <signal.h>

// Holds the signals that the run handles back for its lifetime (interrupts,
// Ctrl-Z); one that arrives meanwhile takes effect when it ends.
class SignalBlock {
  public:
    SignalBlock();
    ~SignalBlock();
    SignalBlock(const SignalBlock&) = delete;
    SignalBlock& operator=(const SignalBlock&) = delete;

  private:
    sigset_t previous_;
};
