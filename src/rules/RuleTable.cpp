#include "rules/RuleTable.h"

#include "rules/Rule.h"

namespace {
void destroyRules(TreeNode* node) {
    if (node == nullptr) {
        return;
    }
    destroyRules(node->left);
    destroyRules(node->right);
    delete static_cast<Rule*>(node);
}
} // namespace

RuleTable::~RuleTable() {
    destroyRules(tree_.root);
}

void RuleTable::insert(Rule* rule) {
    tree_.insert(rule);
}

Rule* RuleTable::lookup(const std::string& name) const {
    if (TreeNode* found = tree_.find(name)) {
        return static_cast<Rule*>(found);
    }
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return nullptr;
    }
    return static_cast<Rule*>(tree_.find(name.substr(dot)));
}

Rule* RuleTable::first() const {
    return static_cast<Rule*>(tree_.first());
}

Rule* RuleTable::next(const Rule& rule) const {
    return static_cast<Rule*>(rule.next());
}
