#include "platform/ScratchDirectory_win32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::string currentDirectory() {
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    std::string path(size, '\0');
    path.resize(GetCurrentDirectoryA(size, &path[0]));
    return path;
}

} // namespace

ScratchDirectory::ScratchDirectory() : previous_(currentDirectory()) {
    char base[MAX_PATH + 1];
    GetTempPathA(sizeof base, base);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::string(base) + "tarvo-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        if (CreateDirectoryA(path_.c_str(), nullptr)) {
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create " << path_;
            break;
        }
    }
    SetCurrentDirectoryA(path_.c_str());
}

ScratchDirectory::~ScratchDirectory() {
    SetCurrentDirectoryA(previous_.c_str());
    // Read-only entries made by a test would stop the removal.
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, error)) {
        SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(path_, error);
}

void writeFile(const std::string& name, const std::string& contents) {
    std::ofstream out(name, std::ios::binary);
    out << contents;
    ASSERT_TRUE(out.good()) << name;
}

bool fileExists(const std::string& name) {
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void setWriteTicks(const std::string& name, unsigned long long ticks) {
    const HANDLE file =
        CreateFileA(name.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time)) << name;
    CloseHandle(file);
}
