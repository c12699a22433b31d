#pragma once

#include "containers/OrderedTree.h"
#include "preprocess/Operator.h"

#include <memory>
#include <string>

// Files one operator in an evaluator's operator tree, keyed by its symbol
// without regard to letter case. The entry owns its operator.
class OperatorEntry final : public TreeNode {
  public:
    explicit OperatorEntry(std::unique_ptr<Operator> op);
    virtual ~OperatorEntry() = default;

    int compareKey(const std::string& key) const override;
    int compareNode(const TreeNode& other) const override;

    const Operator& op() const { return *operator_; }

  private:
    std::unique_ptr<Operator> operator_;
};
