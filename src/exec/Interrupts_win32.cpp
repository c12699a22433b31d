#include "exec/Interrupts.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

// The console delivers Ctrl-C to every process attached to it, children
// included, and runs this handler on a thread of its own.
volatile LONG gInterrupted = 0;
volatile LONG gChildRunning = 0;
std::mutex gFileMutex;
std::vector<std::string> gFilesToRemove;
std::function<void()> gCleanup;

const DWORD kInterruptedStatus = 0xC000013AUL; // STATUS_CONTROL_C_EXIT

void removeFiles() {
    std::lock_guard<std::mutex> lock(gFileMutex);
    for (const std::string& path : gFilesToRemove) {
        DeleteFileA(path.c_str());
    }
}

// Every event that ends a console process by default: Ctrl-C, Ctrl-Break, the
// console window closed, the user logging off, the system shutting down.
BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
        event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT) {
        return FALSE;
    }
    InterlockedExchange(&gInterrupted, 1);
    if (gChildRunning != 0) {
        return TRUE; // the run ends once the child has stopped
    }
    removeFiles();
    ExitProcess(kInterruptedStatus);
    return TRUE;
}

} // namespace

void installInterruptHandling() {
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void addFileToRemoveOnInterrupt(const std::string& path) {
    std::lock_guard<std::mutex> lock(gFileMutex);
    gFilesToRemove.push_back(path);
}

void dropFileToRemoveOnInterrupt(const std::string& path) {
    std::lock_guard<std::mutex> lock(gFileMutex);
    const auto found = std::find(gFilesToRemove.begin(), gFilesToRemove.end(), path);
    if (found != gFilesToRemove.end()) {
        gFilesToRemove.erase(found);
    }
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

void endIfInterrupted() {
    if (gInterrupted == 0) {
        return;
    }
    removeFiles();
    if (gCleanup) {
        gCleanup();
    }
    std::fflush(stdout);
    ExitProcess(kInterruptedStatus);
}
