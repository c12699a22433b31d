#pragma once

#include <functional>
#include <string>

// A run that ends by a signal from outside (Ctrl-C; on POSIX every signal
// whose default action ends the process, faults aside: SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, SIGPIPE when standard output's reader has quit, and the
// like) starts no further command, leaves none of its temporary files behind
// and ends by that signal. A write beyond the file-size limit fails instead of
// ending the run, so that the failure is reported where it happens.
void installInterruptHandling();

// The files to remove if the run ends by a signal now: the temporary files
// that it would remove itself (the intermediate file, an inline file).
void addFileToRemoveOnInterrupt(const std::string& path);
void dropFileToRemoveOnInterrupt(const std::string& path);

// Work to do before ending an interrupted run, in normal (not signal) context:
// the sweep of temporary files.
void setInterruptCleanup(std::function<void()> cleanup);

// Called around a child process: while one runs, an interrupt is passed on to
// it and the run ends once it has stopped.
void noteChildStarted(long processId);
void noteChildEnded();

// Ends the process with the signal if an interrupt has arrived.
void endIfInterrupted();
