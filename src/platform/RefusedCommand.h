#pragma once

#include <string>

// The message for a command line that the system refuses to start, with the
// system's reason; a long line is quoted by its first 200 bytes only.
std::string refusedCommandMessage(const std::string& commandLine, const std::string& reason);
