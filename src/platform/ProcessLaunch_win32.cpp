#include "platform/ProcessLaunch_win32.h"

#include "platform/InterpreterRoute_win32.h"
#include "platform/RefusedCommand.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// An error of the tool's own (bit 29 marks those of applications): the command
// needs the interpreter and is too long for it.
constexpr DWORD kTooLongForInterpreter = 0x20000000u | 1u;

// A program that is not found may be an interpreter built-in (echo, copy),
// and a file that is no program may be one the interpreter opens by its type:
// the interpreter has its go at them.
bool interpreterMayStart(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME || error == ERROR_BAD_EXE_FORMAT;
}

bool isHandle(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Console handles before Windows 8 are no real handles: a handle list refuses
// them, and the system hands them to a console child by itself.
bool isLegacyConsoleHandle(HANDLE handle) {
    return (reinterpret_cast<std::uintptr_t>(handle) & 3) == 3 &&
           GetFileType(handle) == FILE_TYPE_CHAR;
}

// The attribute that lets a child inherit the standard handles and nothing else.
class InheritedHandleList {
  public:
    explicit InheritedHandleList(const StandardHandles& handles) {
        for (const HANDLE handle : {handles.input, handles.output, handles.error}) {
            if (isHandle(handle) && !isLegacyConsoleHandle(handle) &&
                std::find(handles_, handles_ + count_, handle) == handles_ + count_) {
                handles_[count_++] = handle;
            }
        }
        if (count_ == 0) {
            return;
        }
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_ = std::make_unique<char[]>(size);
        const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            error_ = GetLastError();
            return;
        }
        list_ = list;
        // The list keeps a pointer to the handles, which live as long as it does.
        if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_,
                                       count_ * sizeof(HANDLE), nullptr, nullptr)) {
            error_ = GetLastError();
        }
    }
    ~InheritedHandleList() {
        if (list_ != nullptr) {
            DeleteProcThreadAttributeList(list_);
        }
    }
    InheritedHandleList(const InheritedHandleList&) = delete;
    InheritedHandleList& operator=(const InheritedHandleList&) = delete;

    // Null when there is nothing to inherit.
    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return count_ == 0 ? nullptr : list_; }
    DWORD error() const { return error_; }

  private:
    HANDLE handles_[3] = {};
    std::size_t count_ = 0;
    std::unique_ptr<char[]> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
    DWORD error_ = 0;
};

bool isMomentaryShortage(DWORD error) {
    return error == ERROR_INTERNAL_ERROR || error == ERROR_NOT_ENOUGH_MEMORY ||
           error == ERROR_OUTOFMEMORY || error == ERROR_NO_SYSTEM_RESOURCES ||
           error == ERROR_COMMITMENT_LIMIT;
}

DWORD createProcess(const std::string& commandLine, const StandardHandles& handles,
                    const InheritedHandleList& inherited, DWORD flags,
                    PROCESS_INFORMATION& process) {
    // CreateProcessA may write into the line it is given.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOEXA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = handles.input;
    startup.StartupInfo.hStdOutput = handles.output;
    startup.StartupInfo.hStdError = handles.error;
    startup.lpAttributeList = inherited.list();
    const bool inherits = startup.lpAttributeList != nullptr;
    if (inherits) {
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    } else {
        startup.StartupInfo.cb = sizeof startup.StartupInfo;
    }
    // Many starts at once can run short of system resources for a moment
    // (wine's server answers "internal error" then): a command is not failed
    // for that while a few short waits let the others get going.
    constexpr int kAttempts = 20;
    for (int attempt = 1;; ++attempt) {
        ZeroMemory(&process, sizeof process);
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, inherits ? TRUE : FALSE,
                           NORMAL_PRIORITY_CLASS | flags, nullptr, nullptr, &startup.StartupInfo,
                           &process)) {
            return 0;
        }
        const DWORD error = GetLastError();
        if (attempt == kAttempts || !isMomentaryShortage(error)) {
            return error != 0 ? error : ERROR_INVALID_FUNCTION;
        }
        Sleep(static_cast<DWORD>(10 * attempt));
    }
}

} // namespace

DWORD launchProcess(const std::string& commandLine, const StandardHandles& handles, DWORD flags,
                    PROCESS_INFORMATION& process) {
    const InheritedHandleList inherited(handles);
    if (inherited.error() != 0) {
        return inherited.error();
    }
    // A line in cmd's own syntax goes to cmd from the start.
    if (!needsInterpreter(commandLine)) {
        const DWORD error = createProcess(commandLine, handles, inherited, flags, process);
        if (error == 0 || !interpreterMayStart(error)) {
            return error;
        }
    }
    // The runner refuses such a line before it gets here; this is for a
    // program that its search found and CreateProcess did not.
    if (lengthInCharacters(commandLine) > kInterpreterLimit) {
        return kTooLongForInterpreter;
    }
    return createProcess(interpreterLine(commandLine), handles, inherited, flags, process);
}

std::string launchFailureMessage(const std::string& commandLine, DWORD error) {
    const std::size_t length = lengthInCharacters(commandLine);
    if (error == kTooLongForInterpreter) {
        return refusedCommandMessage(commandLine, "it is " + std::to_string(length) +
                                                      " characters long; cmd accepts " +
                                                      std::to_string(kInterpreterLimit));
    }
    std::string reason = systemReason(error);
    if (length > kSystemLimit) {
        reason += " (the command is " + std::to_string(length) +
                  " characters long; Windows accepts " + std::to_string(kSystemLimit) + ")";
    }
    return refusedCommandMessage(commandLine, reason);
}

UniqueHandle openInheritableNull() {
    SECURITY_ATTRIBUTES inheritable;
    inheritable.nLength = sizeof inheritable;
    inheritable.lpSecurityDescriptor = nullptr;
    inheritable.bInheritHandle = TRUE;
    return UniqueHandle(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string systemReason(DWORD error) {
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
