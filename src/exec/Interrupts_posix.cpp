#include "exec/Interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

volatile sig_atomic_t gInterruptSignal = 0;
volatile sig_atomic_t gChild = 0;
// The process groups of the children that run side by side; 0 marks a free place.
constexpr int kMaxGroups = 1024;
volatile sig_atomic_t gGroups[kMaxGroups] = {};
volatile sig_atomic_t gGroupCount = 0;
sigset_t gHeldMask;
// Published for the handler; replaced only while signals are blocked.
char* volatile gFileToRemove = nullptr;
std::unique_ptr<char[]> gFileStorage;
std::function<void()> gCleanup;

// A write to a reader that has quit (tarvo -p | head) ends the run like an
// interrupt, so that the intermediate file goes too.
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

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

void onInterrupt(int signal) {
    gInterruptSignal = signal;
    if (gChild > 0) {
        // The run ends when the child has stopped; see endIfInterrupted.
        kill(static_cast<pid_t>(gChild), signal);
        return;
    }
    if (gGroupCount > 0) {
        // Children in groups of their own do not see a terminal's interrupt:
        // each is passed it, and the run ends once they have stopped.
        for (int i = 0; i < kMaxGroups; ++i) {
            if (gGroups[i] != 0) {
                kill(-static_cast<pid_t>(gGroups[i]), signal);
            }
        }
        return;
    }
    if (char* path = gFileToRemove) {
        unlink(path);
    }
    dieWith(signal);
}

class SignalBlock {
  public:
    SignalBlock() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kSignals) {
            sigaddset(&set, signal);
        }
        sigprocmask(SIG_BLOCK, &set, &previous_);
    }
    ~SignalBlock() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

  private:
    sigset_t previous_;
};

} // namespace

void installInterruptHandling() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    for (int signal : kSignals) {
        struct sigaction previous;
        // A signal ignored by whoever started us stays ignored.
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal, &action, nullptr);
    }
}

void setFileToRemoveOnInterrupt(const std::string& path) {
    SignalBlock block;
    if (path.empty()) {
        gFileToRemove = nullptr;
        gFileStorage.reset();
        return;
    }
    std::unique_ptr<char[]> copy(new char[path.size() + 1]);
    std::memcpy(copy.get(), path.c_str(), path.size() + 1);
    gFileStorage = std::move(copy);
    gFileToRemove = gFileStorage.get();
}

void setInterruptCleanup(std::function<void()> cleanup) {
    gCleanup = std::move(cleanup);
}

void noteChildStarted(long processId) {
    gChild = static_cast<sig_atomic_t>(processId);
}

void noteChildEnded() {
    gChild = 0;
}

void noteChildGroupStarted(long processGroup) {
    SignalBlock block;
    for (int i = 0; i < kMaxGroups; ++i) {
        if (gGroups[i] == 0) {
            gGroups[i] = static_cast<sig_atomic_t>(processGroup);
            ++gGroupCount;
            break;
        }
    }
    // One arriving between the start and now must reach this child too.
    if (gInterruptSignal != 0) {
        kill(-static_cast<pid_t>(processGroup), gInterruptSignal);
    }
}

void noteChildGroupEnded(long processGroup) {
    SignalBlock block;
    for (int i = 0; i < kMaxGroups; ++i) {
        if (gGroups[i] == static_cast<sig_atomic_t>(processGroup)) {
            gGroups[i] = 0;
            --gGroupCount;
            break;
        }
    }
}

bool interruptPending() {
    return gInterruptSignal != 0;
}

void holdInterrupts() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kSignals) {
        sigaddset(&set, signal);
    }
    sigprocmask(SIG_BLOCK, &set, &gHeldMask);
}

void releaseInterrupts() {
    sigprocmask(SIG_SETMASK, &gHeldMask, nullptr);
}

void endIfInterrupted() {
    const int signal = gInterruptSignal;
    if (signal == 0) {
        return;
    }
    if (char* path = gFileToRemove) {
        unlink(path);
    }
    if (gCleanup) {
        gCleanup();
    }
    std::fflush(stdout);
    dieWith(signal);
}
