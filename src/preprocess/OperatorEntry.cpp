#include "preprocess/OperatorEntry.h"

#include "containers/NameCompare.h"

#include <utility>

OperatorEntry::OperatorEntry(std::unique_ptr<Operator> op) : operator_(std::move(op)) {}

int OperatorEntry::compareKey(const std::string& key) const {
    return compareNames(operator_->symbol(), key);
}

int OperatorEntry::compareNode(const TreeNode& other) const {
    return compareNames(operator_->symbol(),
                        static_cast<const OperatorEntry&>(other).op().symbol());
}
