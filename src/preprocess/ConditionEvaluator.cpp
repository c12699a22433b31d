#include "preprocess/ConditionEvaluator.h"

ConditionEvaluator::ConditionEvaluator() {
    addOperator(std::make_unique<OrOperator>());
    addOperator(std::make_unique<AndOperator>());
    addOperator(std::make_unique<EqualsOperator>());
    addOperator(std::make_unique<NotEqualsOperator>());
}

std::unique_ptr<Value> ConditionEvaluator::makeOperand(const std::string& token) const {
    return std::make_unique<StringValue>(token);
}

bool ConditionEvaluator::evaluateCondition(const std::string& text) {
    const std::unique_ptr<Value> result = evaluate(text);
    return result != nullptr && result->kind() == ValueKind::Boolean &&
           result->valueBytes()[0] != 0;
}
