#include "platform/PlatformConventions.h"

#ifndef _WIN32
#include "platform/ProcessStartup.h"
#include "platform/ShellQuoting.h"
#endif

#ifdef _WIN32

bool temporaryNamesMatchCase() {
    return false;
}

bool textEndsAtControlZ() {
    return true;
}

bool openFilesCanBeReplaced() {
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

#else

bool temporaryNamesMatchCase() {
    return true;
}

bool textEndsAtControlZ() {
    return false;
}

bool openFilesCanBeReplaced() {
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

// Such a line goes to /bin/sh, which expands it; the quotes keep its blanks.
std::string environmentReference(const std::string& name) {
    return "\"$" + name + "\"";
}

#endif
