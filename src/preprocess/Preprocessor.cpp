#include "preprocess/Preprocessor.h"

#include "preprocess/LineReader.h"
#include "preprocess/MacroTable.h"
#include "text/ErrorReport.h"

#include <algorithm>

int Preprocessor::preprocessMakefile(std::FILE* makefile, const std::string& fileName,
                                     std::FILE* intermediate) {
    fileName_ = fileName;
    preprocessFile(makefile, intermediate);
    return status_;
}

long Preprocessor::lineNumber() const {
    return reader_ != nullptr ? reader_->lineNumber() : 0;
}

void Preprocessor::writeRecord(const std::string& line, std::FILE* intermediate) const {
    std::fwrite(fileName_.data(), 1, fileName_.size(), intermediate);
    std::fprintf(intermediate, ",%ld|", lineNumber());
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
    LineReader reader(input);
    const LineReader* const outer = reader_;
    reader_ = &reader;
    // The file name stays the same for the records of this file; an include
    // file's own loop restores it afterwards.
    bool nameNoted = false;
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
        if (!nameNoted) {
            noteRecordName(fileName_);
            nameNoted = true;
        }
        writeRecord(*line, intermediate);
    }
    reader_ = outer;
}
