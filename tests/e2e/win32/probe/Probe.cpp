// Prints its own command line exactly as it was handed over, in brackets, so
// that a test sees whether a command reached it directly or through cmd.exe.
#include <windows.h>

#include <cstdio>

int main() {
    std::printf("[%s]\n", GetCommandLineA());
    return 0;
}
