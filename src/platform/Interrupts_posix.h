#pragma once

#include <signal.h>

// The signals that the run handles: those that end it as an interrupt
// (Interrupts.h) and those that stop it from the terminal (Ctrl-Z), for code
// that must hold them back for a moment.
const sigset_t& handledSignals();

// The signal mask that the run started with, which its children get whatever
// the run holds back when it starts them.
const sigset_t& startingSignalMask();

// Whether the run started with SIGCHLD ignored. It runs with the default, since
// every wait for a child fails otherwise, and its children start with it
// ignored, as the run was given it.
bool childSignalIgnoredAtStart();
