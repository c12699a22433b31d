#pragma once

#include "preprocess/Evaluator.h"

#include <memory>
#include <string>

// Evaluates the conditions of !if and !elif: words compared with "==" and
// "!=", combined with "&&" and "||". Never reports anything: a malformed
// condition, or one whose result is a word, is false.
class ConditionEvaluator : public Evaluator {
  public:
    ConditionEvaluator();

    std::unique_ptr<Value> makeOperand(const std::string& token) const override;
    bool evaluateCondition(const std::string& text);
};
