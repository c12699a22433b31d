#pragma once

#include <string>
#include <vector>

// What the arguments ask for, besides the macro definitions.
struct Options {
    std::string makefileName = "tarvo";
    bool print = false;
    bool keepTemporaries = false;
    std::vector<std::string> targets;
    std::vector<std::pair<std::string, std::string>> definitions;
};

// Scans the arguments after the program name.
Options scanArguments(const std::vector<std::string>& arguments);

// Splits "NAME=value" text from the environment at runs of blanks, tabs and
// "=": the first piece names the macro, the second is its value. False when
// the text holds no name.
bool splitEnvironmentEntry(const std::string& entry, std::string& name, std::string& value);
