#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

class ConditionEvaluator;
class MacroTable;

// Pass 1: copies a makefile and its include files into the intermediate file,
// expanding macros, recording definitions and obeying directives.
class Preprocessor {
  public:
    Preprocessor(MacroTable& macros, ConditionEvaluator& evaluator)
        : macros_(macros), evaluator_(evaluator) {}

    void preprocessFile(std::FILE* input, std::FILE* intermediate);
    // Handles one directive line; returns whether lines are taken afterwards.
    bool processDirective(const std::string& line, std::FILE* intermediate);

    // Include files nested deeper than this end pass 1 with an error.
    static constexpr int kMaxIncludeDepth = 64;

    // The distinct file names with a comma that records were written for:
    // their records cannot be split at the first comma.
    const std::vector<std::string>& namesWithComma() const { return namesWithComma_; }

  private:
    void writeRecord(const std::string& line, std::FILE* intermediate);
    void noteRecordName(const std::string& name);
    // The condition of "if", "ifdef" or "ifndef"; nothing for any other word.
    std::optional<bool> testCondition(const std::string& word, const std::string& argument);
    void includeFile(const std::string& argument, std::FILE* intermediate);

    MacroTable& macros_;
    ConditionEvaluator& evaluator_;
    std::vector<std::string> namesWithComma_;
};
