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

// Such a line goes to cmd, which expands it.
std::string environmentReference(const std::string& name) {
    return "%" + name + "%";
}
