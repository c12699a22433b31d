#include "platform/SystemPlatform.h"

#include "containers/ContentHash.h"

#include "platform/ChildProcesses_win32.h"
#include "platform/FileTime.h"
#include "platform/InheritedStandardHandles_win32.h"
#include "platform/Interrupts.h"
#include "platform/ProcessLaunch_win32.h"
#include "platform/RefusedCommand.h"
#include "platform/TempNames.h"
#include "platform/UniqueHandle_win32.h"
#include "text/ErrorReport.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The tool's standard handles as its children inherit them, made once.
const StandardHandles& inheritedStandardHandles() {
    static const InheritedStandardHandles handles;
    return handles.handles();
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

std::uint64_t halves(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

// The time of the file's last change of any kind. copy and xcopy keep the
// last-write time, and a copy of the same size over the file keeps its index:
// this time still moves.
std::uint64_t changeTimeOf(HANDLE file) {
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
        return 0;
    }
    return static_cast<std::uint64_t>(basic.ChangeTime.QuadPart);
}

FileStamp stampOf(const BY_HANDLE_FILE_INFORMATION& info, HANDLE file) {
    const FileTime time =
        fileTimeFromHalves(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    return {time, fileVersion(halves(info.nFileSizeHigh, info.nFileSizeLow), time,
                              info.dwVolumeSerialNumber,
                              halves(info.nFileIndexHigh, info.nFileIndexLow), changeTimeOf(file))};
}

// Others may go on reading, writing, renaming or deleting the file meanwhile.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

} // namespace

struct SystemPlatform::Parts {
    ChildProcesses children;
};

SystemPlatform::SystemPlatform() : parts_(std::make_unique<Parts>()) {}

SystemPlatform::~SystemPlatform() = default;

// Nothing here is noted: a start that the system refuses is the command's output.
void SystemPlatform::reportThrough(Diagnostics*) {}

// CreateProcess searches for the program itself, as it always has (see
// FoundPrograms): nothing is found ahead of it.
std::uint64_t SystemPlatform::startProcess(const std::string& commandLine, FoundPrograms&) {
    return parts_->children.start(commandLine);
}

EndedProcess SystemPlatform::waitForProcess() {
    return parts_->children.wait();
}

// A semaphore cannot be watched without taking it: only a process's end, or
// the time, ends the wait, and the next start tries the semaphore again.
std::optional<EndedProcess> SystemPlatform::waitForProcessOr(std::intptr_t, int milliseconds) {
    return parts_->children.waitOr(milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds));
}

std::uint32_t SystemPlatform::runProcess(const std::string& commandLine, FoundPrograms&) {
    std::fflush(stdout);
    PROCESS_INFORMATION process;
    // Noted before the start, so that a Ctrl-C arriving meanwhile waits for the
    // child (which gets it too) instead of ending the run under it.
    noteChildStarted(0);
    const DWORD error = launchProcess(commandLine, inheritedStandardHandles(), 0, process);
    if (error != 0) {
        noteChildEnded();
        endIfInterrupted();
        std::fputs(launchFailureMessage(commandLine, error).c_str(), stdout);
        return 1;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode)) {
        exitCode = 1;
    }
    CloseHandle(process.hProcess);
    // An interrupt ends the run in the executor, which first removes a target
    // that the command left half made.
    noteChildEnded();
    return exitCode;
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

FileStamp SystemPlatform::fileStamp(const std::string& path) {
    // Opened for its attributes only; directories need the backup flag.
    const UniqueHandle file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) {
        return FileStamp();
    }
    return stampOf(info, file.get());
}

std::optional<FileDigest> SystemPlatform::fileDigest(const std::string& path) {
    const UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION before;
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(file.get(), &before) ||
        (before.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    const FileStamp stamp = stampOf(before, file.get());
    ContentHash hash;
    unsigned char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        hash.add(chunk, got);
    }
    FileDigest digest;
    digest.stamp = stamp;
    digest.digest = hash.value();
    BY_HANDLE_FILE_INFORMATION after;
    if (!GetFileInformationByHandle(file.get(), &after) ||
        stampOf(after, file.get()) != digest.stamp) {
        digest.stamp.version = 0;
    }
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    digest.readAt = fileTimeFromHalves(now.dwHighDateTime, now.dwLowDateTime);
    return digest;
}

EntryKind SystemPlatform::entryKind(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return EntryKind::None;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return EntryKind::Link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Directory : EntryKind::File;
}

bool SystemPlatform::removeFile(const std::string& path) {
    if (DeleteFileA(path.c_str())) {
        return true;
    }
    // A link to a directory goes as a directory, leaving what it points to.
    if (entryKind(path) == EntryKind::Link && RemoveDirectoryA(path.c_str())) {
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
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
