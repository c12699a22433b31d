#include "platform/SignalBlock_posix.h"

#include "platform/Interrupts_posix.h"

SignalBlock::SignalBlock() {
    sigprocmask(SIG_BLOCK, &handledSignals(), &previous_);
}

SignalBlock::~SignalBlock() {
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}
