#include "preprocess/Preprocessor.h"

#include "preprocess/IntermediateFile.h"
#include "preprocess/LineReader.h"
#include "preprocess/MacroTable.h"
#include "text/ErrorReport.h"

int Preprocessor::preprocessMakefile(std::FILE* makefile, const std::string& fileName,
                                     IntermediateFile& intermediate) {
    fileName_ = fileName;
    preprocessFile(makefile, intermediate);
    return status_;
}

long Preprocessor::lineNumber() const {
    return reader_ != nullptr ? reader_->lineNumber() : 0;
}

void Preprocessor::preprocessFile(std::FILE* input, IntermediateFile& intermediate) {
    LineReader reader(input);
    const LineReader* const outer = reader_;
    reader_ = &reader;
    while (status_ == 0) {
        std::string* line = reader.readLogicalLine(true);
        if (line == nullptr) {
            break;
        }
        if (isCommentLine(*line)) {
            continue;
        }
        ExpansionFailure failure;
        if (!macros_.expandMacros(*line, &failure)) {
            status_ = reportError(failure.tooLarge ? message::kMacroWithoutBound
                                                   : message::kMacroRefersToItself,
                                  fileName_.c_str(), lineNumber(), failure.macroName.c_str());
            break;
        }
        if (isDirectiveLine(*line)) {
            takingLines_ = processDirective(*line, intermediate);
            continue;
        }
        if (!takingLines_) {
            continue;
        }
        if (MacroTable::isMacroDefinitionLine(*line)) {
            macros_.defineMacroFromLine(std::move(*line));
            continue;
        }
        intermediate.writeRecord(fileName_, lineNumber(), *line);
    }
    reader_ = outer;
}
