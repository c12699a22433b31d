#pragma once

#include "containers/OrderedTree.h"
#include "preprocess/Operator.h"
#include "preprocess/Value.h"

#include <cstddef>
#include <memory>
#include <string>

// Evaluates infix expressions of words, binary operators and parentheses:
// converts them to postfix (shunting yard) and walks the postfix sequence on a
// stack of values. Subclasses file the operators and decide what an operand is.
class Evaluator {
  public:
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    virtual std::unique_ptr<Value> makeOperand(const std::string& token) const = 0;
    // The value of the expression, or nullptr when it is malformed.
    virtual std::unique_ptr<Value> evaluate(const std::string& text);

    void addOperator(std::unique_ptr<Operator> op);
    // The operator whose symbol is the token (letter case ignored), or nullptr.
    const Operator* findOperator(const std::string& token) const;
    // Scans `text` from its beginning, or continues the previous scan when
    // `text` is null. Returns the token, valid until the next call, or nullptr
    // at the end. A run of punctuation is one token.
    const std::string* nextToken(const std::string* text);

  protected:
    Evaluator() = default;
    ~Evaluator();

  private:
    OrderedTree operators_;
    std::string scanText_;
    std::size_t scanPosition_ = 0;
    std::string token_;
};
