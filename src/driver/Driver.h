#pragma once

#include <string>
#include <vector>

class Platform;

// The run sequence: macros from the environment and the command line, pass 1
// into the intermediate file, then the listing (-p) or pass 2 and the making of
// the requested targets, and the sweep of temporary files. Returns the exit status.
int runTarvo(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
             Platform& platform);
