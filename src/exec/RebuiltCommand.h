#pragma once

#include <string>
#include <string_view>

// A command line as it is echoed and started: its "-" and "@" prefixes taken
// off, and its words joined again by single blanks with one blank at the end.
struct RebuiltCommand {
    std::string text;
    bool echo = true;        // no "@"
    bool stopOnError = true; // no "-"
};

RebuiltCommand rebuildCommand(std::string_view pending);
