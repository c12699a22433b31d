#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The state one run shares between its passes. It lives in one place so that a
// test can reset it between cases.
struct Position {
    std::string fileName; // current file name (pass 1: the file read; pass 2: from the tag)
    long lineNumber = 0;  // logical lines returned so far from the current file
    std::string lineText; // pass 2: the line-number text of the last tag read
};

struct ConditionalState {
    int conditionState = 0; // 0 taking lines, 1 skipping (a branch may come), 2 skipping to endif
    int conditionDepth = 0;
    int savedDepth = 0;
    int savedState = 0;
};

struct RunState {
    int buildStatus = 0;
    bool keepTemporaries = false;
    bool takingLines = true;
    bool defaultTargetPending = true;
    // Set when the run must end at once with the build status (a dependency cycle);
    // every later make returns without doing anything.
    bool stopRequested = false;
    int includeDepth = 0;
    // The text one line may expand to before its expansion counts as runaway;
    // 0 leaves the macro table's own bound. Fuzzing sets a small one for speed.
    std::size_t expansionLimit = 0;
    Position position;
    ConditionalState conditions;
    std::vector<std::string> requestedTargets;

    void reset() { *this = RunState(); }
};

// Inline: the make of every target asks it whether the run was stopped.
inline RunState& runState() {
    static RunState state;
    return state;
}
