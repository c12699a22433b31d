#pragma once

#include "containers/OrderedTree.h"
#include "preprocess/Operator.h"
#include "preprocess/Value.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

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
    // One item of the postfix sequence: an operator, or else an operand's value.
    struct PostfixEntry {
        const Operator* op = nullptr;
        std::unique_ptr<Value> value;
    };

    OrderedTree operators_;
    std::string scanText_;
    std::size_t scanPosition_ = 0;
    std::string token_;
    // Working storage of evaluate, kept from one condition to the next.
    std::vector<PostfixEntry> postfix_;
    // Operators waiting for their right operand; nullptr marks an open "(".
    std::vector<const Operator*> pending_;
    std::vector<std::unique_ptr<Value>> values_;
};
