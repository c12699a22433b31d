#include "preprocess/Preprocessor.h"

#include "driver/RunState.h"
#include "preprocess/LineReader.h"
#include "preprocess/MacroTable.h"

void Preprocessor::writeRecord(const std::string& line, std::FILE* intermediate) {
    const Position& position = runState().position;
    std::fwrite(position.fileName.data(), 1, position.fileName.size(), intermediate);
    std::fprintf(intermediate, ",%ld|", position.lineNumber);
    std::fwrite(line.data(), 1, line.size(), intermediate);
    std::fputc('\n', intermediate);
}

void Preprocessor::preprocessFile(std::FILE* input, std::FILE* intermediate) {
    RunState& state = runState();
    LineReader reader(input);
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
        writeRecord(*line, intermediate);
    }
}
