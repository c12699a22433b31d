#pragma once

#include <string>
#include <vector>

// Splits command-line text into arguments: blanks and tabs separate, a double
// quote opens an argument that runs to the next double quote, and a double
// quote ending a plain argument is only a separator. There is no escape.
std::vector<std::string> splitCommandLine(const std::string& text);

// The command-line text after the program name, skipped as a Windows program's
// start-up does: a name in double quotes runs to the closing quote, any other
// name to the first blank or control character; then blanks and control
// characters are dropped.
std::string skipProgramName(const std::string& commandLine);

// What the arguments ask for, besides the macro definitions.
struct Options {
    std::string makefileName = "tarvo";
    bool print = false;
    bool keepTemporaries = false;
    // Asked how tarvo is used or which version it is: answered at once.
    bool help = false;
    bool version = false;
    std::vector<std::string> targets;
    std::vector<std::pair<std::string, std::string>> definitions;
};

// Scans the arguments after the program name.
Options scanArguments(const std::vector<std::string>& arguments);

// Splits "NAME=value" text from the environment at runs of blanks, tabs and
// "=": the first piece names the macro, the second is its value. False when
// the text holds no name.
bool splitEnvironmentEntry(const std::string& entry, std::string& name, std::string& value);
