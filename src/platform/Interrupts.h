#pragma once

#include <cstdint>
#include <functional>
#include <string>

// A run that ends by a signal from outside (Ctrl-C; on POSIX every signal
// whose default action ends the process, faults aside: SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, SIGPIPE when standard output's reader has quit, and the
// like) starts no further command, leaves none of its temporary files behind
// and ends by that signal. A write beyond the file-size limit fails instead of
// ending the run, so that the failure is reported where it happens.
void installInterruptHandling();

// The temporary files that the run holds and would remove itself: if the run
// ends by a signal, each is removed, its hold (a descriptor, or a handle) closed
// first where an open file cannot be removed.
void addFileToRemoveOnInterrupt(const std::string& path, std::intptr_t hold);
// Forgets a file added above. With `remove` it also closes the file's hold and
// removes it, in one step as far as an interrupt is concerned.
void dropFileToRemoveOnInterrupt(const std::string& path, bool remove);

// Work to do before ending an interrupted run, in normal (not signal) context:
// the sweep of temporary files. Returns the work registered before. Set and
// taken back by an InterruptCleanup only.
std::function<void()> setInterruptCleanup(std::function<void()> cleanup);

// Called around a child process: while one runs, an interrupt is passed on to
// it and the run ends once it has stopped.
void noteChildStarted(long processId);
void noteChildEnded();

// Called around each process of those that run side by side, each in a
// process group of its own: an interrupt is passed on to every such group,
// and the run ends once they have stopped.
void noteChildGroupStarted(long processGroup);
void noteChildGroupEnded(long processGroup);

// Called around the build: meanwhile an interrupt that comes when no child
// runs does not end the run at once but is taken up at the run's next check
// (interruptPending, endIfInterrupted), so that a target half made between
// two commands is removed and the record of the commands that ended is kept.
// Nested calls count; see InterruptDeferral.
void deferInterrupts();
void stopDeferringInterrupts();

// Whether an interrupt has arrived and waits for the run to end.
bool interruptPending();

// Ends the process with the signal if an interrupt has arrived.
void endIfInterrupted();
