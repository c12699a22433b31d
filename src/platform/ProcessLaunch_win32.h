#pragma once

#include "platform/UniqueHandle_win32.h"

#include <windows.h>

#include <string>

// The standard handles a child starts with. Each must be inheritable; they
// are the only handles it inherits.
struct StandardHandles {
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    HANDLE error = nullptr;
};

// Starts a command line in the tool's console, environment and directory:
// directly, and through the interpreter when the line holds the interpreter's
// own syntax, or its program is not found or is no program the system starts.
// Returns 0, or the system's error when no start succeeded. `flags` are
// creation flags on top of the usual ones.
DWORD launchProcess(const std::string& commandLine, const StandardHandles& handles, DWORD flags,
                    PROCESS_INFORMATION& process);

// The message for a command line that launchProcess could not start with the
// error it gave: the system's reason, or the interpreter's limit on length.
std::string launchFailureMessage(const std::string& commandLine, DWORD error);

// The null device, open for reading and writing and inheritable; none on failure.
UniqueHandle openInheritableNull();

// The system's text for an error, without the line end and full stop.
std::string systemReason(DWORD error);
