#include "preprocess/ConditionEvaluator.h"

bool ConditionEvaluator::evaluateCondition(const std::string&) {
    return false;
}
