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
    index_.reset();
}

Rule* RuleTable::find(std::string_view name) const {
    if (!index_) {
        index_ = std::make_unique<NameTable<Rule*, true>>();
        for (const Rule* rule = first(); rule != nullptr; rule = next(*rule)) {
            Rule*& found = (*index_)[rule->name];
            if (found == nullptr) {
                found = static_cast<Rule*>(tree_.find(rule->name));
            }
        }
    }
    Rule* const* found = index_->find(name);
    return found != nullptr ? *found : nullptr;
}

Rule* RuleTable::lookup(const std::string& name) const {
    if (Rule* found = find(name)) {
        return found;
    }
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return nullptr;
    }
    return find(std::string_view(name).substr(dot));
}

Rule* RuleTable::first() const {
    return static_cast<Rule*>(tree_.first());
}

Rule* RuleTable::next(const Rule& rule) const {
    return static_cast<Rule*>(rule.next());
}
