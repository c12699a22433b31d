#include "preprocess/Operator.h"

#include "containers/NameCompare.h"

#include <utility>

namespace {

bool bothOfKind(const Value& left, const Value& right, ValueKind kind) {
    return left.kind() == kind && right.kind() == kind;
}

bool truthOf(const Value& value) {
    return value.valueBytes()[0] != 0;
}

bool sameText(const Value& left, const Value& right) {
    return sameName(static_cast<const StringValue&>(left).text(),
                    static_cast<const StringValue&>(right).text());
}

std::unique_ptr<Value> booleanOf(bool truth) {
    return std::make_unique<BooleanValue>(truth);
}

} // namespace

Operator::Operator(std::string symbol, int precedence)
    : symbol_(std::move(symbol)), precedence_(precedence) {}

OrOperator::OrOperator() : Operator("||", 5) {}

std::unique_ptr<Value> OrOperator::apply(std::unique_ptr<Value> left,
                                         std::unique_ptr<Value> right) const {
    if (!bothOfKind(*left, *right, ValueKind::Boolean)) {
        return booleanOf(false);
    }
    return booleanOf(truthOf(*left) || truthOf(*right));
}

AndOperator::AndOperator() : Operator("&&", 5) {}

std::unique_ptr<Value> AndOperator::apply(std::unique_ptr<Value> left,
                                          std::unique_ptr<Value> right) const {
    if (!bothOfKind(*left, *right, ValueKind::Boolean)) {
        return booleanOf(false);
    }
    return booleanOf(truthOf(*left) && truthOf(*right));
}

EqualsOperator::EqualsOperator() : Operator("==", 10) {}

std::unique_ptr<Value> EqualsOperator::apply(std::unique_ptr<Value> left,
                                             std::unique_ptr<Value> right) const {
    if (!bothOfKind(*left, *right, ValueKind::String)) {
        return booleanOf(false);
    }
    return booleanOf(sameText(*left, *right));
}

NotEqualsOperator::NotEqualsOperator() : Operator("!=", 10) {}

std::unique_ptr<Value> NotEqualsOperator::apply(std::unique_ptr<Value> left,
                                                std::unique_ptr<Value> right) const {
    if (!bothOfKind(*left, *right, ValueKind::String)) {
        return booleanOf(false);
    }
    return booleanOf(!sameText(*left, *right));
}
