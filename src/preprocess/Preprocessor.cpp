#include "preprocess/Preprocessor.h"

#include "driver/RunState.h"
#include "preprocess/LineReader.h"
#include "preprocess/MacroTable.h"

#include <algorithm>

void Preprocessor::writeRecord(const std::string& line, std::FILE* intermediate) {
    const Position& position = runState().position;
    std::fwrite(position.fileName.data(), 1, position.fileName.size(), intermediate);
    std::fprintf(intermediate, ",%ld|", position.lineNumber);
    std::fwrite(line.data(), 1, line.size(), intermediate);
    std::fputc('\n', intermediate);
}

// A name without a comma ends at the first comma of its records already.
void Preprocessor::noteRecordName(const std::string& name) {
    if (name.find(',') != std::string::npos &&
        std::find(namesWithComma_.begin(), namesWithComma_.end(), name) == namesWithComma_.end()) {
        namesWithComma_.push_back(name);
    }
}

void Preprocessor::preprocessFile(std::FILE* input, std::FILE* intermediate) {
    RunState& state = runState();
    LineReader reader(input);
    // The file name stays the same for the records of this file; an include
    // file's own loop restores it afterwards.
    bool nameNoted = false;
    while (state.buildStatus == 0) {
        std::string* line = reader.readLogicalLine(true);
        if (line == nullptr) {
            return;
        }
        if (isCommentLine(*line)) {
            continue;
        }
        ExpansionFailure failure;
        if (!macros_.expandMacros(*line, &failure)) {
            std::printf(failure.tooLarge
                            ? "Error (tarvo): %s, line %ld: Macro %s expands without bound\n"
                            : "Error (tarvo): %s, line %ld: Macro %s refers to itself\n",
                        state.position.fileName.c_str(), state.position.lineNumber,
                        failure.macroName.c_str());
            state.buildStatus = 1;
            return;
        }
        if (isDirectiveLine(*line)) {
            state.takingLines = processDirective(*line, intermediate);
            continue;
        }
        if (!state.takingLines) {
            continue;
        }
        if (MacroTable::isMacroDefinitionLine(*line)) {
            macros_.defineMacroFromLine(std::move(*line));
            continue;
        }
        if (!nameNoted) {
            noteRecordName(state.position.fileName);
            nameNoted = true;
        }
        writeRecord(*line, intermediate);
    }
}
