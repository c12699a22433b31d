#pragma once

#include <cstdio>
#include <optional>
#include <string>

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

  private:
    void writeRecord(const std::string& line, std::FILE* intermediate);
    // The condition of "if", "ifdef" or "ifndef"; nothing for any other word.
    std::optional<bool> testCondition(const std::string& word, const std::string& argument);
    void includeFile(const std::string& argument, std::FILE* intermediate);

    MacroTable& macros_;
    ConditionEvaluator& evaluator_;
};
