#include "preprocess/Preprocessor.h"

#include "driver/RunState.h"

// Stand-in until conditional blocks are built: every directive is reported.
bool Preprocessor::processDirective(std::string& line, std::FILE*) {
    RunState& state = runState();
    std::size_t end = 1;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') {
        ++end;
    }
    std::printf("Error (tarvo): %s, line %ld: Invalid directive !%s",
                state.position.fileName.c_str(), state.position.lineNumber,
                line.substr(1, end - 1).c_str());
    state.buildStatus = 1;
    return false;
}
