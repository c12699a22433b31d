#include "rules/RuleTable.h"

#include "rules/Rule.h"

#include <deque>

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

std::vector<Rule*> RuleTable::othersNamedLike(const Rule& found) const {
    // Equal names lie below the one that find gives; only the branches that
    // can hold one are followed.
    std::vector<Rule*> others;
    std::deque<TreeNode*> pending = {found.left, found.right};
    while (!pending.empty()) {
        TreeNode* node = pending.front();
        pending.pop_front();
        if (node == nullptr) {
            continue;
        }
        const int order = node->compareKey(found.name);
        if (order == 0) {
            others.push_back(static_cast<Rule*>(node));
        }
        if (order >= 0) {
            pending.push_back(node->left);
        }
        if (order <= 0) {
            pending.push_back(node->right);
        }
    }
    return others;
}

Rule* RuleTable::first() const {
    return static_cast<Rule*>(tree_.first());
}

Rule* RuleTable::next(const Rule& rule) const {
    return static_cast<Rule*>(rule.next());
}
