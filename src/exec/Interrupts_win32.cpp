#include "exec/Interrupts.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

namespace {

// The console delivers Ctrl-C to every process attached to it, children
// included, and runs this handler on a thread of its own.
volatile LONG gInterrupted = 0;
volatile LONG gChildRunning = 0;
std::mutex gFileMutex;
std::string gFileToRemove;
std::function<void()> gCleanup;

const DWORD kInterruptedStatus = 0xC000013AUL; // STATUS_CONTROL_C_EXIT

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    InterlockedExchange(&gInterrupted, 1);
    if (gChildRunning != 0) {
        return TRUE; // the run ends once the child has stopped
    }
    {
        std::lock_guard<std::mutex> lock(gFileMutex);
        if (!gFileToRemove.empty()) {
            DeleteFileA(gFileToRemove.c_str());
        }
    }
    ExitProcess(kInterruptedStatus);
    return TRUE;
}

} // namespace

void installInterruptHandling() {
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void setFileToRemoveOnInterrupt(const std::string& path) {
    std::lock_guard<std::mutex> lock(gFileMutex);
    gFileToRemove = path;
}

void setInterruptCleanup(std::function<void()> cleanup) {
    gCleanup = std::move(cleanup);
}

void noteChildStarted(long) {
    InterlockedExchange(&gChildRunning, 1);
}

void noteChildEnded() {
    InterlockedExchange(&gChildRunning, 0);
}

void noteChildGroupStarted(long) {
    InterlockedIncrement(&gChildRunning);
}

void noteChildGroupEnded(long) {
    InterlockedDecrement(&gChildRunning);
}

bool interruptPending() {
    return gInterrupted != 0;
}

void holdInterrupts() {}

void releaseInterrupts() {}

void endIfInterrupted() {
    if (gInterrupted == 0) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(gFileMutex);
        if (!gFileToRemove.empty()) {
            DeleteFileA(gFileToRemove.c_str());
        }
    }
    if (gCleanup) {
        gCleanup();
    }
    std::fflush(stdout);
    ExitProcess(kInterruptedStatus);
}
