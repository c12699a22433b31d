#include "driver/Driver.h"
#include "platform/Interrupts.h"
#include "platform/Platform.h"
#include "platform/ProcessStartup.h"

#include <cstdio>

int main(int argc, char** argv) {
    installInterruptHandling();
    const int status =
        runTarvo(processArguments(argc, argv), processEnvironment(), systemPlatform());
    // Output that could not be written (a full disk) is no success: for -p it
    // is all the run delivers.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout) != 0) && status == 0) {
        return 1;
    }
    return status;
}
