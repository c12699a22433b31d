#include "driver/Driver.h"
#include "exec/Interrupts.h"
#include "exec/Platform.h"
#include "exec/ProcessStartup.h"

#include <cstdio>

int main(int argc, char** argv) {
    installInterruptHandling();
    const int status =
        runTarvo(processArguments(argc, argv), processEnvironment(), systemPlatform());
    std::fflush(stdout);
    return status;
}
