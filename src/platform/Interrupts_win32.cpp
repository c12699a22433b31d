#include "platform/Interrupts.h"

#include "platform/Interrupts_win32.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// The console delivers Ctrl-C to every process attached to it, children
// included, and runs this handler on a thread of its own.
volatile LONG gInterrupted = 0;
volatile LONG gChildRunning = 0;
// While not 0, an interrupt with no child running waits for the run's next check.
volatile LONG gDeferred = 0;
std::mutex gFileMutex;
struct FileToRemove {
    std::string path;
    HANDLE hold;
};
std::vector<FileToRemove> gFilesToRemove;
std::function<void()> gCleanup;

const DWORD kInterruptedStatus = 0xC000013AUL; // STATUS_CONTROL_C_EXIT

// A held file cannot be removed until its hold is closed. Removed after, it is
// safe from mistakes all the same: another run's file that took its name
// meanwhile would be held and could not be removed.
void closeAndRemove(const FileToRemove& file) {
    CloseHandle(file.hold);
    DeleteFileA(file.path.c_str());
}

void removeFiles() {
    std::lock_guard<std::mutex> lock(gFileMutex);
    for (const FileToRemove& file : gFilesToRemove) {
        closeAndRemove(file);
    }
    gFilesToRemove.clear();
}

// Every event that ends a console process by default: Ctrl-C, Ctrl-Break, the
// console window closed, the user logging off, the system shutting down.
BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
        event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT) {
        return FALSE;
    }
    InterlockedExchange(&gInterrupted, 1);
    // Wakes the wait for commands that run side by side, which ends them.
    const HANDLE wakeUp = interruptEvent();
    if (wakeUp != nullptr) {
        SetEvent(wakeUp);
    }
    if (gChildRunning != 0 || gDeferred != 0) {
        // The run ends once the child has stopped, or at its next check. The
        // system ends the process as soon as the handler returns from the
        // closing of the console, a log-off or a shutdown: the handler waits
        // for the run's end instead, within the grace the system gives.
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
            Sleep(INFINITE);
        }
        return TRUE;
    }
    removeFiles();
    ExitProcess(kInterruptedStatus);
    return TRUE;
}

} // namespace

HANDLE interruptEvent() {
    // Lives as long as the process.
    static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event;
}

void installInterruptHandling() {
    // Made here, not first on the handler's thread.
    interruptEvent();
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void addFileToRemoveOnInterrupt(const std::string& path, std::intptr_t hold) {
    std::lock_guard<std::mutex> lock(gFileMutex);
    gFilesToRemove.push_back({path, reinterpret_cast<HANDLE>(hold)});
}

void dropFileToRemoveOnInterrupt(const std::string& path, bool remove) {
    std::lock_guard<std::mutex> lock(gFileMutex);
    const auto found =
        std::find_if(gFilesToRemove.begin(), gFilesToRemove.end(),
                     [&path](const FileToRemove& file) { return file.path == path; });
    if (found != gFilesToRemove.end()) {
        if (remove) {
            closeAndRemove(*found);
        }
        gFilesToRemove.erase(found);
    }
}

std::function<void()> setInterruptCleanup(std::function<void()> cleanup) {
    return std::exchange(gCleanup, std::move(cleanup));
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

void deferInterrupts() {
    InterlockedIncrement(&gDeferred);
}

void stopDeferringInterrupts() {
    InterlockedDecrement(&gDeferred);
}

bool interruptPending() {
    return gInterrupted != 0;
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
