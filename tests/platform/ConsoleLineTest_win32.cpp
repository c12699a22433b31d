#include "platform/ConsoleLine_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A console of its own for the test: a pseudo console (Windows 10 and wine),
// which a waiting cmd.exe holds open while the test shares it.
class PseudoConsole {
  public:
    PseudoConsole() {
        using Create = HRESULT(WINAPI*)(COORD, HANDLE, HANDLE, DWORD, void**);
        const HMODULE kernel = GetModuleHandleA("kernel32.dll");
        const auto create = reinterpret_cast<Create>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "CreatePseudoConsole")));
        close_ = reinterpret_cast<Close>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "ClosePseudoConsole")));
        if (create == nullptr || close_ == nullptr || !CreatePipe(&input_, &feed_, nullptr, 0) ||
            !CreatePipe(&drawn_, &output_, nullptr, 1 << 20) ||
            create(COORD{80, 25}, input_, output_, 0, &console_) != S_OK) {
            return;
        }
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributes_.resize(size);
        const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes_.data());
        const DWORD_PTR kPseudoConsole = 0x00020016;
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size) ||
            !UpdateProcThreadAttribute(list, 0, kPseudoConsole, console_, sizeof console_, nullptr,
                                       nullptr)) {
            return;
        }
        STARTUPINFOEXA startup;
        ZeroMemory(&startup, sizeof startup);
        startup.StartupInfo.cb = sizeof startup;
        startup.lpAttributeList = list;
        char line[] = "cmd.exe /c pause >nul";
        if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, EXTENDED_STARTUPINFO_PRESENT,
                            nullptr, nullptr, &startup.StartupInfo, &holder_)) {
            return;
        }
        for (const DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
            saved_.push_back(GetStdHandle(which));
        }
        hadConsole_ = GetConsoleCP() != 0;
        FreeConsole();
        // cmd.exe attaches to the console as it starts.
        for (int tries = 0; tries < 100 && !attached_; ++tries) {
            attached_ = AttachConsole(holder_.dwProcessId) != 0;
            if (!attached_) {
                Sleep(50);
            }
        }
    }
    ~PseudoConsole() {
        if (attached_) {
            FreeConsole();
            if (hadConsole_) {
                AttachConsole(ATTACH_PARENT_PROCESS);
            }
            const DWORD which[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
            for (std::size_t i = 0; i < saved_.size(); ++i) {
                SetStdHandle(which[i], saved_[i]);
            }
        }
        if (holder_.hProcess != nullptr) {
            TerminateProcess(holder_.hProcess, 0);
            WaitForSingleObject(holder_.hProcess, INFINITE);
            CloseHandle(holder_.hProcess);
            CloseHandle(holder_.hThread);
        }
        if (console_ != nullptr) {
            close_(console_);
        }
        for (const HANDLE pipe : {input_, feed_, drawn_, output_}) {
            if (pipe != nullptr) {
                CloseHandle(pipe);
            }
        }
    }
    PseudoConsole(const PseudoConsole&) = delete;
    PseudoConsole& operator=(const PseudoConsole&) = delete;

    bool attached() const { return attached_; }

  private:
    using Close = void(WINAPI*)(void*);
    Close close_ = nullptr;
    HANDLE input_ = nullptr;
    HANDLE feed_ = nullptr;
    HANDLE drawn_ = nullptr;
    HANDLE output_ = nullptr;
    void* console_ = nullptr;
    std::vector<char> attributes_;
    PROCESS_INFORMATION holder_ = {};
    std::vector<HANDLE> saved_;
    bool hadConsole_ = false;
    bool attached_ = false;
};

std::string row(HANDLE buffer, SHORT y) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(buffer, &info);
    std::string text(static_cast<std::size_t>(info.dwSize.X), '\0');
    DWORD read = 0;
    ReadConsoleOutputCharacterA(buffer, &text[0], static_cast<DWORD>(text.size()), COORD{0, y},
                                &read);
    text.resize(read);
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

COORD cursor(HANDLE buffer) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(buffer, &info);
    return info.dwCursorPosition;
}

TEST(ConsoleApiLine, DrawsOverItsRowAndLeavesTheOutputAbove) {
    const PseudoConsole console;
    if (!console.attached()) {
        GTEST_SKIP() << "no pseudo console to draw in";
    }
    // A screen buffer of the test's own, which nothing else writes in.
    const HANDLE buffer =
        CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    ASSERT_NE(buffer, INVALID_HANDLE_VALUE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(buffer, &info));
    DWORD wrote = 0;
    ASSERT_TRUE(WriteFile(buffer, "cc -c a.c\r\n", 11, &wrote, nullptr));
    {
        const std::unique_ptr<ConsoleLine> line = consoleApiLine(buffer);
        EXPECT_EQ(line->width(), static_cast<std::size_t>(info.dwSize.X - 1));
        line->show("[ 1/3, 1 running, 0:01] cc -c parser.c");
        EXPECT_EQ(row(buffer, 1), "[ 1/3, 1 running, 0:01] cc -c parser.c");
        // A shorter text leaves nothing of the longer one.
        line->show("[ 2/3] ld");
        EXPECT_EQ(row(buffer, 1), "[ 2/3] ld");
        EXPECT_EQ(cursor(buffer).X, 9);
        line->clear();
        EXPECT_EQ(row(buffer, 1), "");
        EXPECT_EQ(cursor(buffer).X, 0);
        EXPECT_EQ(cursor(buffer).Y, 1);
        EXPECT_EQ(row(buffer, 0), "cc -c a.c");
    }
    CloseHandle(buffer);
}

} // namespace
