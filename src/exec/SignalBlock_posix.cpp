#include "exec/SignalBlock_posix.h"

#include "exec/Interrupts_posix.h"

SignalBlock::SignalBlock() {
    sigprocmask(SIG_BLOCK, &interruptSignals(), &previous_);
}

SignalBlock::~SignalBlock() {
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}
