#include "platform/PlatformConventions.h"

#include "platform/ProcessStartup.h"
#include "platform/ShellQuoting.h"

bool temporaryNamesMatchCase() {
    return true;
}

const char* directorySeparator() {
    return "/";
}

std::string makeCommand() {
    // Letter case matters here, so "TARVO" names no program: the tool's own
    // file does, wherever the commands run from.
    const std::string path = programPath();
    return path.empty() ? std::string("tarvo") : shellWord(path);
}
