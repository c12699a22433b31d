#pragma once

#include "preprocess/Value.h"

#include <memory>
#include <string>

// A binary operator of condition expressions. An operand of the wrong kind
// does not fail the expression: the operator then yields false.
class Operator {
  public:
    Operator(std::string symbol, int precedence);
    Operator(const Operator&) = delete;
    Operator& operator=(const Operator&) = delete;
    virtual ~Operator() = default;

    const std::string& symbol() const { return symbol_; }
    int precedence() const { return precedence_; }

    // Consumes both operands (left is the earlier one) and returns a new boolean.
    virtual std::unique_ptr<Value> apply(std::unique_ptr<Value> left,
                                         std::unique_ptr<Value> right) const = 0;

  private:
    std::string symbol_;
    int precedence_;
};

class OrOperator final : public Operator {
  public:
    OrOperator();
    std::unique_ptr<Value> apply(std::unique_ptr<Value> left,
                                 std::unique_ptr<Value> right) const override;
};

class AndOperator final : public Operator {
  public:
    AndOperator();
    std::unique_ptr<Value> apply(std::unique_ptr<Value> left,
                                 std::unique_ptr<Value> right) const override;
};

// Compares words without regard to letter case.
class EqualsOperator final : public Operator {
  public:
    EqualsOperator();
    std::unique_ptr<Value> apply(std::unique_ptr<Value> left,
                                 std::unique_ptr<Value> right) const override;
};

class NotEqualsOperator final : public Operator {
  public:
    NotEqualsOperator();
    std::unique_ptr<Value> apply(std::unique_ptr<Value> left,
                                 std::unique_ptr<Value> right) const override;
};
