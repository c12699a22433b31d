#include "exec/PlatformConventions.h"

#include "exec/CommandSplit.h"
#include "exec/ProcessStartup.h"

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
