#include "preprocess/Preprocessor.h"

#include "platform/NarrowText.h"
#include "platform/PlatformConventions.h"
#include "preprocess/IntermediateFile.h"
#include "preprocess/LineReader.h"
#include "preprocess/MacroTable.h"
#include "text/Delimiters.h"
#include "text/Diagnostics.h"
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

void Preprocessor::checkDefinition(const std::string& line) {
    std::size_t hash = line.find('#', line.find('='));
    while (hash != std::string::npos && line[hash - 1] != ' ' && line[hash - 1] != '\t') {
        hash = line.find('#', hash + 1);
    }
    if (hash == std::string::npos) {
        return;
    }
    std::size_t nameEnd = 0;
    while (nameEnd < line.size() && !isDelimiter(line[nameEnd])) {
        ++nameEnd;
    }
    diagnostics_.warn("%s, line %ld: the value of %s holds \"%s\": a comment begins only in the "
                      "first column, so the \"#\" and what follows are part of the value",
                      fileName_.c_str(), lineNumber(), line.substr(0, nameEnd).c_str(),
                      line.substr(hash).c_str());
}

void Preprocessor::checkEnvironmentUses() {
    for (const MacroEntry* macro : macros_.cutEnvironmentUses()) {
        if (diagnostics_.firstTime("cut environment variable " + macro->name)) {
            diagnostics_.warn("%s, line %ld: $(%s) is \"%s\", the first word of the environment "
                              "variable; %s in a command gives its whole value, \"%s\"",
                              fileName_.c_str(), lineNumber(), macro->name.c_str(),
                              macro->value.c_str(), environmentReference(macro->name).c_str(),
                              macro->environmentValue.c_str());
        }
    }
}

void Preprocessor::preprocessFile(std::FILE* input, IntermediateFile& intermediate) {
    LineReader reader(input);
    const LineReader* const outer = reader_;
    reader_ = &reader;
    while (status_ == 0) {
        std::string* line = reader.readLogicalLine();
        if (line == nullptr) {
            break;
        }
        if (isCommentLine(*line)) {
            continue;
        }
        if (reader.lostCharacters() && (takingLines_ || isDirectiveLine(*line))) {
            diagnostics_.warn("%s, line %ld: characters of this UTF-8 line that %s lacks read as "
                              "\"?\"",
                              fileName_.c_str(), lineNumber(), narrowEncodingName().c_str());
        }
        // A "#" that a macro brings in was warned of where that macro was defined.
        const bool writtenHash = line->find('#') != std::string::npos;
        if (line->find("$(") != std::string::npos) {
            habits_.checkReferences(*line, macros_, takingLines_, fileName_, lineNumber());
        }
        ExpansionFailure failure;
        if (!macros_.expandMacros(*line, &failure)) {
            status_ = diagnostics_.error(
                failure.tooLarge ? message::kMacroWithoutBound : message::kMacroRefersToItself,
                fileName_.c_str(), lineNumber(), failure.macroName.c_str());
            break;
        }
        if (!macros_.cutEnvironmentUses().empty() && (takingLines_ || isDirectiveLine(*line))) {
            checkEnvironmentUses();
        }
        if (isDirectiveLine(*line)) {
            takingLines_ = processDirective(*line, intermediate);
            continue;
        }
        if (!takingLines_) {
            continue;
        }
        if (MacroTable::isMacroDefinitionLine(*line)) {
            if (writtenHash) {
                checkDefinition(*line);
            }
            macros_.defineMacroFromLine(std::move(*line));
            continue;
        }
        habits_.checkRecord(*line, fileName_, lineNumber());
        intermediate.writeRecord(fileName_, lineNumber(), *line);
    }
    reader_ = outer;
}
