#include "platform/TemporaryFile.h"

#include "platform/Interrupts.h"
#include "platform/TempNames.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace {

// The hold: a handle that reads only, so that a command may open the file
// for reading as it likes, and that forbids removal to everyone else.
HANDLE createNew(const std::string& name) {
    return CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A failure to create the name because something has it already. A
// directory, or a file removed while something still has it open, answers
// "access denied", as a directory that may not be written does; only the
// latter leaves the name without any entry.
bool isTaken(const std::string& name) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
        return true;
    }
    if (error != ERROR_ACCESS_DENIED) {
        return false;
    }
    if (GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const DWORD lookup = GetLastError();
    return lookup != ERROR_FILE_NOT_FOUND && lookup != ERROR_PATH_NOT_FOUND;
}

// Creates the first free name, held. With every name taken, the last one is
// used anew if no live run holds it: a link there is replaced, never written
// through.
HANDLE createHeld(const std::string& directory, std::string& name) {
    HANDLE hold = INVALID_HANDLE_VALUE;
    if (findTemporaryName(directory, name, [&hold](const std::string& name) {
            hold = createNew(name);
            return hold != INVALID_HANDLE_VALUE || !isTaken(name);
        })) {
        return hold;
    }
    return TemporaryFile::removeUnlessHeld(name.c_str()) ? createNew(name) : INVALID_HANDLE_VALUE;
}

// The stream writes through a handle of its own, which allows removal: the
// hold alone forbids it, and a run that ends by a signal closes the hold and
// removes the file while the stream may still be open.
std::FILE* openStream(const std::string& name, TemporaryFile::Content content) {
    const HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    const bool text = content == TemporaryFile::Content::Text;
    const int fd =
        _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), text ? _O_TEXT : _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, text ? "w+t" : "w+b");
    if (stream == nullptr) {
        _close(fd);
    }
    return stream;
}

} // namespace

std::string TemporaryFile::freeName(const std::string& directory) {
    std::string name;
    findTemporaryName(directory, name, [](const std::string& name) {
        return GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES;
    });
    return name;
}

TemporaryFile TemporaryFile::create(const std::string& directory, Content content) {
    TemporaryFile file;
    const HANDLE hold = createHeld(directory, file.name_);
    if (hold == INVALID_HANDLE_VALUE) {
        return file;
    }
    file.stream_ = openStream(file.name_, content);
    if (file.stream_ == nullptr) {
        CloseHandle(hold);
        DeleteFileA(file.name_.c_str());
        return file;
    }
    file.hold_ = reinterpret_cast<std::intptr_t>(hold);
    addFileToRemoveOnInterrupt(file.name_, file.hold_);
    return file;
}

bool TemporaryFile::removeUnlessHeld(const char* path) {
    // Held files forbid removal; so do read-only files and directories.
    return DeleteFileA(path) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND;
}

void TemporaryFile::closeHold(std::intptr_t hold) {
    CloseHandle(reinterpret_cast<HANDLE>(hold));
}
