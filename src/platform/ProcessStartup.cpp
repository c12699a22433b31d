#include "platform/ProcessStartup.h"

#ifdef _WIN32
#include "text/CommandLineSplit.h"
#include <cstring>
#include <memory>
#include <windows.h>
#else
#include <stdlib.h>
#include <unistd.h>
#endif

#ifdef _WIN32

std::vector<std::string> processArguments(int, char**) {
    // The text as typed, not the C runtime's split: the tool's own splitting
    // rules apply to it.
    return splitCommandLine(skipProgramName(GetCommandLineA()));
}

std::vector<std::string> processEnvironment() {
    struct EnvironmentFree {
        void operator()(char* block) const { FreeEnvironmentStringsA(block); }
    };
    const std::unique_ptr<char, EnvironmentFree> block(GetEnvironmentStringsA());
    std::vector<std::string> entries;
    if (!block) {
        return entries;
    }
    for (const char* entry = block.get(); *entry != '\0'; entry += std::strlen(entry) + 1) {
        // "=C:=C:\dir" and the like are the system's per-drive directories, not
        // variables; the C runtime hides them from programs too.
        if (*entry != '=') {
            entries.emplace_back(entry);
        }
    }
    return entries;
}

std::string programPath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::string();
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void setEnvironmentVariable(const std::string& name, const std::string& value) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

#else

extern char** environ;

std::vector<std::string> processArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string programPath() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", &path[0], path.size());
        if (length < 0) {
            return std::string();
        }
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::vector<std::string> processEnvironment() {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        entries.emplace_back(*entry);
    }
    return entries;
}

void setEnvironmentVariable(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

#endif
