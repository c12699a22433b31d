#include "platform/Interrupts.h"

#include "platform/Interrupts_posix.h"
#include "platform/ProcessGroups_posix.h"
#include "platform/SignalBlock_posix.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

volatile sig_atomic_t gInterruptSignal = 0;
volatile sig_atomic_t gChild = 0;
// While not 0, an interrupt with no child running waits for the run's next check.
volatile sig_atomic_t gDeferred = 0;
// The process groups of the children that run side by side.
ProcessGroups gGroups(kill);
struct FileToRemove {
    std::unique_ptr<char[]> path;
    int hold;
};
// Read by the handler; changed only while the signals are blocked.
std::vector<FileToRemove> gFilesToRemove;
std::function<void()> gCleanup;
// The signal mask that the run started with, for its children.
sigset_t gStartingMask;
bool gStartingMaskRead = false;
bool gChildSignalIgnored = false;

// Every signal whose default action ends the process and that comes from
// outside. A write to a reader that has quit (tarvo -p | head) ends the run
// like an interrupt, so that the temporary files go too. The faults (SIGSEGV,
// SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS) mean tarvo itself went
// wrong and keep their default action; so do the real-time signals, which no
// one sends a make tool.
const int kSignals[] = {
    SIGINT,    SIGTERM, SIGHUP,  SIGQUIT, SIGPIPE, SIGALRM,
    SIGUSR1,   SIGUSR2, SIGXCPU, SIGXFSZ, SIGPROF, SIGVTALRM,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

void dieWith(int signal) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
    _exit(128 + signal);
}

// Ctrl-Z, and what stops a run in the background that touches the terminal.
const int kStopSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};

void removeFiles() {
    for (const FileToRemove& file : gFilesToRemove) {
        unlink(file.path.get());
    }
}

void onInterrupt(int signal) {
    gInterruptSignal = signal;
    if (gChild > 0) {
        // The run ends when the child has stopped; see endIfInterrupted.
        kill(static_cast<pid_t>(gChild), signal);
        return;
    }
    if (!gGroups.empty()) {
        // Children in groups of their own do not see a terminal's interrupt:
        // each is passed it, and the run ends once they have stopped. One
        // stopped meanwhile (Ctrl-Z) must go on to see it.
        gGroups.signalAll(signal);
        gGroups.signalAll(SIGCONT);
        return;
    }
    if (gDeferred != 0) {
        return;
    }
    removeFiles();
    dieWith(signal);
}

// Commands that run side by side, in groups of their own, do not see the
// terminal's Ctrl-Z: each group is passed the signal, the run stops as it
// would have, and once continued it continues them all.
void onStop(int signal) {
    const int saved = errno;
    gGroups.signalAll(signal);
    struct sigaction action;
    struct sigaction handler;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, &handler);
    sigset_t set;
    sigset_t previous;
    sigemptyset(&set);
    sigaddset(&set, signal);
    sigprocmask(SIG_UNBLOCK, &set, &previous);
    // Stops here, unless the process group is orphaned, which drops the stop.
    raise(signal);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    sigaction(signal, &handler, nullptr);
    gGroups.signalAll(SIGCONT);
    errno = saved;
}

// A write of the run's own beyond the file-size limit fails with EFBIG and is
// reported where it happens, so the signal that comes with it must not end the
// run. The kernel names no other process as its sender (Linux names the writer
// itself); sent by another process, it is an interrupt like the others.
void onFileSizeSignal(int signal, siginfo_t* info, void*) {
    bool fromUser = info->si_code == SI_USER || info->si_code == SI_QUEUE;
#ifdef SI_TKILL
    fromUser = fromUser || info->si_code == SI_TKILL;
#endif
    if (fromUser && info->si_pid != 0 && info->si_pid != getpid()) {
        onInterrupt(signal);
    }
}

// Read at the installation, the mask is exact. A process that never installs
// the handling (a test) has it read at its first use instead, without the
// interrupt signals, which a SignalBlock may hold back just then.
void readStartingMask(bool exact) {
    sigprocmask(SIG_SETMASK, nullptr, &gStartingMask);
    if (!exact) {
        for (int signal : kSignals) {
            sigdelset(&gStartingMask, signal);
        }
        for (int signal : kStopSignals) {
            sigdelset(&gStartingMask, signal);
        }
    }
    gStartingMaskRead = true;
}

} // namespace

const sigset_t& startingSignalMask() {
    if (!gStartingMaskRead) {
        readStartingMask(false);
    }
    return gStartingMask;
}

bool childSignalIgnoredAtStart() {
    return gChildSignalIgnored;
}

const sigset_t& handledSignals() {
    static const sigset_t set = [] {
        sigset_t signals;
        sigemptyset(&signals);
        for (int signal : kSignals) {
            sigaddset(&signals, signal);
        }
        for (int signal : kStopSignals) {
            sigaddset(&signals, signal);
        }
        return signals;
    }();
    return set;
}

namespace {

// Ignored, SIGCHLD lets the system reap every child unseen, and each wait
// for one fails (as when some CI runners start us).
void restoreChildSignal() {
    struct sigaction action;
    if (sigaction(SIGCHLD, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) {
        gChildSignalIgnored = true;
        action.sa_handler = SIG_DFL;
        sigaction(SIGCHLD, &action, nullptr);
    }
}

} // namespace

void installInterruptHandling() {
    readStartingMask(true);
    restoreChildSignal();
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_mask = handledSignals();
    for (int signal : kStopSignals) {
        action.sa_handler = onStop;
        action.sa_flags = SA_RESTART;
        struct sigaction previous;
        if (sigaction(signal, &action, &previous) == 0 && previous.sa_handler == SIG_IGN) {
            sigaction(signal, &previous, nullptr);
        }
    }
    for (int signal : kSignals) {
        if (signal == SIGXFSZ) {
            action.sa_sigaction = onFileSizeSignal;
            action.sa_flags = SA_SIGINFO | SA_RESTART;
        } else {
            action.sa_handler = onInterrupt;
            action.sa_flags = 0;
        }
        struct sigaction previous;
        // A signal ignored by whoever started us stays ignored.
        if (sigaction(signal, &action, &previous) == 0 && previous.sa_handler == SIG_IGN) {
            sigaction(signal, &previous, nullptr);
        }
    }
}

void addFileToRemoveOnInterrupt(const std::string& path, std::intptr_t hold) {
    std::unique_ptr<char[]> copy(new char[path.size() + 1]);
    std::memcpy(copy.get(), path.c_str(), path.size() + 1);
    SignalBlock block;
    gFilesToRemove.push_back({std::move(copy), static_cast<int>(hold)});
}

void dropFileToRemoveOnInterrupt(const std::string& path, bool remove) {
    SignalBlock block;
    for (auto it = gFilesToRemove.begin(); it != gFilesToRemove.end(); ++it) {
        if (path == it->path.get()) {
            if (remove) {
                // Unlinked before its lock goes: after, the name could be
                // another run's file by then (swept and taken anew).
                unlink(it->path.get());
                close(it->hold);
            }
            gFilesToRemove.erase(it);
            return;
        }
    }
}

std::function<void()> setInterruptCleanup(std::function<void()> cleanup) {
    return std::exchange(gCleanup, std::move(cleanup));
}

void noteChildStarted(long processId) {
    gChild = static_cast<sig_atomic_t>(processId);
}

void noteChildEnded() {
    gChild = 0;
}

void noteChildGroupStarted(long processGroup) {
    SignalBlock block;
    gGroups.add(static_cast<pid_t>(processGroup));
    // One arriving between the start and now must reach this child too.
    if (gInterruptSignal != 0) {
        kill(-static_cast<pid_t>(processGroup), gInterruptSignal);
    }
}

void noteChildGroupEnded(long processGroup) {
    SignalBlock block;
    gGroups.remove(static_cast<pid_t>(processGroup));
}

void deferInterrupts() {
    gDeferred = gDeferred + 1;
}

void stopDeferringInterrupts() {
    gDeferred = gDeferred - 1;
}

bool interruptPending() {
    return gInterruptSignal != 0;
}

void endIfInterrupted() {
    const int signal = gInterruptSignal;
    if (signal == 0) {
        return;
    }
    {
        SignalBlock block;
        removeFiles();
    }
    if (gCleanup) {
        gCleanup();
    }
    std::fflush(stdout);
    dieWith(signal);
}
