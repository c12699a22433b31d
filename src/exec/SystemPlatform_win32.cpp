#include "exec/SystemPlatform.h"

#include "exec/ChildProcesses_win32.h"
#include "exec/FileTime.h"
#include "exec/Interrupts.h"
#include "exec/RefusedCommand.h"
#include "exec/TempNames.h"
#include "text/ErrorReport.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Starts a command line as a process in the tool's console, environment and
// directory, and waits for it. Returns 0, or the system's error code when it
// could not be started.
DWORD startAndWait(const std::string& commandLine, std::uint32_t& exitCode) {
    // CreateProcessA may write into the line it is given.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    // Noted before the start, so that a Ctrl-C arriving meanwhile waits for the
    // child (which gets it too) instead of ending the run under it.
    noteChildStarted(0);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        noteChildEnded();
        endIfInterrupted();
        return error != 0 ? error : ERROR_INVALID_FUNCTION;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.hProcess, &code)) {
        code = 1;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    noteChildEnded();
    exitCode = code;
    return 0;
}

// A program that is not found may be an interpreter built-in (echo, copy),
// and a file that is no program may be one the interpreter opens by its type:
// the interpreter has its go at them.
bool interpreterMayStart(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME || error == ERROR_BAD_EXE_FORMAT;
}

// The system's text for an error, without the line end and full stop.
std::string reasonFor(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length == 0 ? "error " + std::to_string(error) : std::string(text, length);
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason;
}

std::uint32_t refused(const std::string& commandLine, DWORD error) {
    std::fputs(refusedCommandMessage(commandLine, reasonFor(error)).c_str(), stdout);
    return 1;
}

bool isWindows95Family() {
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
    const DWORD version = GetVersion();
    return (version & 0x80000000u) != 0;
}

// A search handle that is closed when it goes out of scope.
class FindHandle {
  public:
    FindHandle(const std::string& pattern, WIN32_FIND_DATAA& data)
        : handle_(FindFirstFileA(pattern.c_str(), &data)) {}
    ~FindHandle() {
        if (found()) {
            FindClose(handle_);
        }
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    bool found() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool next(WIN32_FIND_DATAA& data) { return FindNextFileA(handle_, &data) != 0; }

  private:
    HANDLE handle_;
};

} // namespace

SystemPlatform::SystemPlatform() : children_(std::make_unique<ChildProcesses>(*this)) {}

SystemPlatform::~SystemPlatform() = default;

std::uint64_t SystemPlatform::startProcess(const std::string& commandLine) {
    return children_->start(commandLine);
}

EndedProcess SystemPlatform::waitForProcess() {
    return children_->wait();
}

std::uint32_t SystemPlatform::runProcess(const std::string& commandLine) {
    std::fflush(stdout);
    std::uint32_t exitCode = 0;
    DWORD error = startAndWait(commandLine, exitCode);
    if (error == 0) {
        return exitCode;
    }
    if (!interpreterMayStart(error)) {
        return refused(commandLine, error);
    }
    const std::string interpreter = isWindows95Family() ? "command.com /C " : "cmd /C ";
    error = startAndWait(interpreter + commandLine, exitCode);
    return error == 0 ? exitCode : refused(commandLine, error);
}

FileTime SystemPlatform::fileTime(const std::string& path) {
    WIN32_FIND_DATAA data;
    const FindHandle search(path, data);
    if (!search.found()) {
        return 0;
    }
    return fileTimeFromHalves(data.ftLastWriteTime.dwHighDateTime,
                              data.ftLastWriteTime.dwLowDateTime);
}

std::optional<std::string> SystemPlatform::findFirstMatch(const std::string& pattern) {
    WIN32_FIND_DATAA data;
    const FindHandle search(pattern, data);
    if (!search.found()) {
        return std::nullopt;
    }
    return std::string(data.cFileName);
}

void SystemPlatform::removeFile(const std::string& path) {
    DeleteFileA(path.c_str());
}

std::string SystemPlatform::freeTemporaryName() {
    return TemporaryFile::freeName(std::string());
}

TemporaryFile SystemPlatform::createTemporaryFile(TemporaryFile::Content content) {
    return TemporaryFile::create(std::string(), content);
}

void SystemPlatform::sweepTemporaries() {
    // The names are collected first and each is deleted once: an entry that
    // cannot be deleted (read-only, held by a live run or another program, a
    // directory) is left behind instead of being found again forever. The long
    // name must match too, so that a file matching only by its short 8.3 name
    // is kept.
    std::vector<std::string> doomed;
    {
        WIN32_FIND_DATAA data;
        FindHandle search("tarvo*.$$$", data);
        if (!search.found()) {
            return;
        }
        do {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                isTemporaryName(data.cFileName)) {
                doomed.emplace_back(data.cFileName);
            }
        } while (search.next(data));
    }
    for (const std::string& name : doomed) {
        TemporaryFile::removeUnlessHeld(name.c_str());
    }
}

Platform& systemPlatform() {
    static SystemPlatform platform;
    return platform;
}
