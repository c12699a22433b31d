#pragma once

#include <cstdio>
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
    bool processDirective(std::string& line, std::FILE* intermediate);

  private:
    void writeRecord(const std::string& line, std::FILE* intermediate);

    MacroTable& macros_;
    ConditionEvaluator& evaluator_;
};
