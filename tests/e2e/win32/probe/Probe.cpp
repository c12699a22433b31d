// Prints its own command line exactly as it was handed over, in brackets, so
// that a test sees whether a command reached it directly or through cmd.exe.
// Before that, for commands that must meet others that run beside them, it
// takes these pairs in order: "--touch NAME" creates the file, "--await NAME"
// waits until it exists, "--await-gone NAME" until it does not, "--exit N"
// sets the exit code. A wait ends after 30 s with the exit code 99.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool waitUntil(const char* name, bool present) {
    for (int tries = 0; tries < 600; ++tries) {
        if ((GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES) == present) {
            return true;
        }
        Sleep(50);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    int code = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* const value = argv[i + 1];
        if (option == "--touch") {
            CloseHandle(CreateFileA(value, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        } else if ((option == "--await" || option == "--await-gone") &&
                   !waitUntil(value, option == "--await")) {
            return 99;
        } else if (option == "--exit") {
            code = std::atoi(value);
        }
    }
    std::printf("[%s]\n", GetCommandLineA());
    return code;
}
