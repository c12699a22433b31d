#pragma once

#include <functional>
#include <string>

// An interrupted run (Ctrl-C, SIGINT, SIGTERM, SIGHUP; on POSIX also SIGPIPE,
// when standard output's reader has quit) starts no further command, leaves no
// intermediate file behind and ends with the signal's conventional status.
void installInterruptHandling();

// The file to remove if the run is interrupted now (the intermediate file while
// it exists); an empty path for none.
void setFileToRemoveOnInterrupt(const std::string& path);

// Work to do before ending an interrupted run, in normal (not signal) context:
// the sweep of temporary files.
void setInterruptCleanup(std::function<void()> cleanup);

// Called around a child process: while one runs, an interrupt is passed on to
// it and the run ends once it has stopped.
void noteChildStarted(long processId);
void noteChildEnded();

// Called around each process of those that run side by side, each in a
// process group of its own: an interrupt is passed on to every such group,
// and the run ends once they have stopped.
void noteChildGroupStarted(long processGroup);
void noteChildGroupEnded(long processGroup);

// Whether an interrupt has arrived and waits for the run to end.
bool interruptPending();

// Ends the process with the signal if an interrupt has arrived.
void endIfInterrupted();

// Hold interrupts back and let them through again (on POSIX), so that a
// child started meanwhile is noted before one arrives. Not nested.
void holdInterrupts();
void releaseInterrupts();

class InterruptBlock {
  public:
    InterruptBlock() { holdInterrupts(); }
    ~InterruptBlock() { releaseInterrupts(); }
    InterruptBlock(const InterruptBlock&) = delete;
    InterruptBlock& operator=(const InterruptBlock&) = delete;
};
