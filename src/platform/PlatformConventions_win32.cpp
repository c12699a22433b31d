#include "platform/PlatformConventions.h"

bool temporaryNamesMatchCase() {
    return false;
}

const char* directorySeparator() {
    return "\\";
}

std::string makeCommand() {
    return "TARVO";
}
