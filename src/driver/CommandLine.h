#pragma once

#include "platform/Jobserver.h"

#include <string>
#include <vector>

// What the arguments ask for.
struct Options {
    std::string makefileName = "tarvo";
    bool print = false;
    bool keepTemporaries = false;
    std::vector<std::string> targets;
    std::vector<std::pair<std::string, std::string>> definitions;

    // Extensions, in forms that options of old never took: long options, and
    // the second characters h, ? and j. Help and version are answered at once.
    bool help = false;
    bool version = false;
    bool dryRun = false;
    bool explain = false;
    bool graph = false;
    // Warnings end the run with status 1, once it is over.
    bool strict = false;
    std::string directory; // empty: the current one
    unsigned jobs = 1;
    bool keepGoing = false;
    // Prints the compilation database of the targets and builds nothing.
    bool compilationDatabase = false;
    std::string traceFile; // empty: no trace
    enum class Progress { Auto, Yes, No };
    Progress progress = Progress::Auto;
    bool jobsGiven = false; // -j or --jobs was given
    JobserverStyle jobserverStyle = JobserverStyle::Default;
    // Options that are ignored, as given, for a note each.
    std::vector<std::string> ignored;
    // An option that cannot be followed, as given (-j0); empty when all is well.
    std::string invalid;
    // The first long option that is not known, as given; empty when none is.
    std::string unknown;
};

struct LongOption {
    const char* name; // "--name"
    bool takesValue;  // "--name=value"; the others refuse a value
};

// Every long option: the scanner takes these and no others, and the
// suggestion for an unknown one chooses among them.
const std::vector<LongOption>& longOptions();

// The long option nearest to an unknown one, when exactly one is near; else empty.
std::string nearestLongOption(const std::string& unknown);

// Scans the arguments after the program name.
Options scanArguments(const std::vector<std::string>& arguments);

// Splits "NAME=value" text from the environment at runs of blanks, tabs and
// "=": the first piece names the macro, the second is its value. False when
// the text holds no name.
bool splitEnvironmentEntry(const std::string& entry, std::string& name, std::string& value);
