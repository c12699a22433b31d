#pragma once

#include <string>

// MAKEFLAGS, as GNU make hands it to the builds it starts: the single-letter
// flags in its first word (or after a "-"), then long options, then "--" and
// the command line's macro definitions.

// The flags of MAKEFLAGS that a run follows, from a parent GNU make or tarvo.
struct MakeflagsFlags {
    bool dryRun = false;    // n: print the commands, run none
    bool keepGoing = false; // k: go on after a failure
};
MakeflagsFlags flagsIn(const std::string& makeflags);

// MAKEFLAGS for the commands of a run: the one it was given, with
// `jobserver`, the words that name a jobserver of the run's own, in place of
// any it names, and with k among its letters when the run keeps going.
// Unchanged when there is nothing to change.
std::string makeflagsForCommands(const std::string& given, const std::string& jobserver,
                                 bool keepGoing);
