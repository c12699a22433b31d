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
