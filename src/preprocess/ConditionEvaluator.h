#pragma once

#include <string>

// Evaluates the conditions of !if and !elif. (Operators, values and the
// tokenizer arrive with the directives.)
class ConditionEvaluator {
  public:
    bool evaluateCondition(const std::string& text);
};
