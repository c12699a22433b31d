#pragma once

#include <signal.h>

// The signals that end a run as an interrupt (Interrupts.h), for code that must
// hold them back for a moment.
const sigset_t& interruptSignals();
