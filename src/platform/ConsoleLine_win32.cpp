#include "platform/ConsoleLine_win32.h"

#include <windows.h>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

void writeAll(HANDLE handle, const std::string& bytes) {
    DWORD wrote = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
}

// A console or a pipe that takes VT100 sequences: a carriage return, the
// text, and "erase to the end of line".
class SequenceLine : public ConsoleLine {
  public:
    // `mode`: the console's mode to restore at the end, or 0.
    SequenceLine(HANDLE handle, DWORD mode) : handle_(handle), mode_(mode) {}
    ~SequenceLine() override {
        if (mode_ != 0) {
            SetConsoleMode(handle_, mode_);
        }
    }
    SequenceLine(const SequenceLine&) = delete;
    SequenceLine& operator=(const SequenceLine&) = delete;
    std::size_t width() override {
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (GetConsoleScreenBufferInfo(handle_, &info) && info.dwSize.X > 1) {
            return static_cast<std::size_t>(info.dwSize.X - 1);
        }
        return 79;
    }
    void show(const std::string& text) override { writeAll(handle_, "\r" + text + "\x1b[K"); }
    void clear() override { writeAll(handle_, "\r\x1b[K"); }

  private:
    HANDLE handle_;
    DWORD mode_;
};

// An older console: the cursor is moved and the line blanked by the console API.
class ApiLine : public ConsoleLine {
  public:
    explicit ApiLine(HANDLE handle) : handle_(handle) {}
    std::size_t width() override {
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (GetConsoleScreenBufferInfo(handle_, &info) && info.dwSize.X > 1) {
            return static_cast<std::size_t>(info.dwSize.X - 1);
        }
        return 79;
    }
    void show(const std::string& text) override {
        clear();
        writeAll(handle_, text);
    }
    void clear() override {
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (!GetConsoleScreenBufferInfo(handle_, &info)) {
            return;
        }
        const COORD start = {0, info.dwCursorPosition.Y};
        DWORD written = 0;
        FillConsoleOutputCharacterA(handle_, ' ', static_cast<DWORD>(info.dwSize.X), start,
                                    &written);
        FillConsoleOutputAttribute(handle_, info.wAttributes, static_cast<DWORD>(info.dwSize.X),
                                   start, &written);
        SetConsoleCursorPosition(handle_, start);
    }

  private:
    HANDLE handle_;
};

} // namespace

std::unique_ptr<ConsoleLine> consoleApiLine(HANDLE console) {
    return std::make_unique<ApiLine>(console);
}

std::unique_ptr<ConsoleLine> standardErrorLine(bool force) {
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode)) {
        if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
            return std::make_unique<SequenceLine>(handle, 0);
        }
        if (SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
            return std::make_unique<SequenceLine>(handle, mode);
        }
        return consoleApiLine(handle);
    }
    if (!force || handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        return nullptr;
    }
    return std::make_unique<SequenceLine>(handle, 0);
}
