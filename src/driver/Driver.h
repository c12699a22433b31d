#pragma once

#include <cstddef>
#include <string>
#include <vector>

class Platform;

// Bounds that a caller may tighten; fuzzing does, for speed.
struct RunLimits {
    // The text one line may expand to before its expansion counts as runaway;
    // 0 leaves the macro table's own bound.
    std::size_t expansionBytes = 0;
};

// The run sequence: macros from the environment and the command line, pass 1
// into the intermediate file, then the listing (-p) or pass 2 and the making of
// the requested targets, and the sweep of temporary files. Returns the exit status.
int runTarvo(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
             Platform& platform, const RunLimits& limits = RunLimits());
