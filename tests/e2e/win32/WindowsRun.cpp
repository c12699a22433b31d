#include "e2e/win32/WindowsRun.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

// A build path of this machine as Windows sees it: under wine a Unix path
// lies on drive Z:.
std::string windowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string variable(const char* name) {
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) {
        return std::string();
    }
    std::string value(size, '\0');
    value.resize(GetEnvironmentVariableA(name, &value[0], size));
    return value;
}

// The environment block: the variables Windows programs need, then the test's.
std::string environmentBlock(const std::vector<std::string>& extra) {
    std::string block;
    for (const char* name : {"SystemRoot", "windir", "ComSpec", "PATH", "TEMP", "TMP"}) {
        const std::string value = variable(name);
        if (!value.empty()) {
            block += std::string(name) + "=" + value;
            block += '\0';
        }
    }
    for (const std::string& entry : extra) {
        block += entry;
        block += '\0';
    }
    block += '\0';
    return block;
}

class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

} // namespace

std::string crlf(const std::string& text) {
    std::string result;
    for (const char c : text) {
        if (c == '\n') {
            result += '\r';
        }
        result += c;
    }
    return result;
}

std::string WindowsEndToEnd::tarvoPath() {
    return windowsPath(TARVO_BINARY);
}

void WindowsEndToEnd::SetUp() {
    char base[MAX_PATH + 1];
    GetTempPathA(sizeof base, base);
    static unsigned counter = 0;
    for (;;) {
        root_ = std::string(base) + "tarvo-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        if (CreateDirectoryA(root_.c_str(), nullptr)) {
            break;
        }
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << root_;
    }
    work_ = root_ + "\\work";
    ASSERT_TRUE(CreateDirectoryA(work_.c_str(), nullptr)) << work_;
}

void WindowsEndToEnd::TearDown() {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_, error)) {
        SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(root_, error);
}

std::string WindowsEndToEnd::path(const std::string& relative) const {
    return work_ + "\\" + relative;
}

void WindowsEndToEnd::write(const std::string& relative, const std::string& contents) {
    std::ofstream out(path(relative), std::ios::binary);
    out << contents;
    ASSERT_TRUE(out.good()) << relative;
}

std::string WindowsEndToEnd::read(const std::string& relative) const {
    std::ifstream in(path(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WindowsEndToEnd::exists(const std::string& relative) const {
    return GetFileAttributesA(path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WindowsEndToEnd::makeDirectory(const std::string& relative) {
    ASSERT_TRUE(CreateDirectoryA(path(relative).c_str(), nullptr)) << relative;
}

void WindowsEndToEnd::setWriteTicks(const std::string& relative, unsigned long long ticks) {
    const Handle file(CreateFileA(path(relative).c_str(), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_NE(file.get(), INVALID_HANDLE_VALUE) << relative;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    EXPECT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &time)) << relative;
}

void WindowsEndToEnd::installProbe(const std::string& relative) {
    ASSERT_TRUE(CopyFileA(windowsPath(PROBE_BINARY).c_str(), path(relative).c_str(), FALSE))
        << relative;
}

std::vector<std::string> WindowsEndToEnd::temporaries() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    const HANDLE search = FindFirstFileA(path("tarvo*.$$$").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.emplace_back(data.cFileName);
    } while (FindNextFileA(search, &data));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

RunResult WindowsEndToEnd::run(const std::string& arguments,
                               const std::vector<std::string>& environment) {
    return runCommandLine("\"" + tarvoPath() + "\" " + arguments, environment);
}

RunResult WindowsEndToEnd::runCommandLine(const std::string& commandLine,
                                          const std::vector<std::string>& environment) {
    return start(commandLine, environment, false);
}

RunResult WindowsEndToEnd::runErrorsIntoOutput(const std::string& arguments) {
    return start("\"" + tarvoPath() + "\" " + arguments, {}, true);
}

RunResult WindowsEndToEnd::start(const std::string& commandLine,
                                 const std::vector<std::string>& environment,
                                 bool errorsIntoOutput) {
    RunResult result;
    // Standard output goes to a file beside the work directory, so that it
    // shows up in no wildcard of the test.
    const std::string outputPath = root_ + "\\stdout.txt";
    const std::string errorsPath = root_ + "\\stderr.txt";
    SECURITY_ATTRIBUTES inheritable;
    inheritable.nLength = sizeof inheritable;
    inheritable.lpSecurityDescriptor = nullptr;
    inheritable.bInheritHandle = TRUE;
    {
        const Handle output(CreateFileA(outputPath.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        const Handle errors(CreateFileA(errorsPath.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        const Handle input(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inheritable, OPEN_EXISTING, 0, nullptr));
        if (output.get() == INVALID_HANDLE_VALUE || errors.get() == INVALID_HANDLE_VALUE ||
            input.get() == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "cannot open the output files";
            return result;
        }
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.get();
        startup.hStdOutput = output.get();
        startup.hStdError = errorsIntoOutput ? output.get() : errors.get();
        PROCESS_INFORMATION process;
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        std::string block = environmentBlock(environment);
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, &block[0],
                            work_.c_str(), &startup, &process)) {
            ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
            return result;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        result.status = status;
    }
    std::ifstream out(outputPath, std::ios::binary);
    result.output.assign(std::istreambuf_iterator<char>(out), std::istreambuf_iterator<char>());
    std::ifstream err(errorsPath, std::ios::binary);
    result.errors.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return result;
}
