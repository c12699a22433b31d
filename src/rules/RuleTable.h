#pragma once

#include "containers/OrderedTree.h"

#include <string>

class Rule;

// Every rule of the run. Rules with the same key stand side by side; nothing is
// merged or removed. The table owns its rules.
class RuleTable {
  public:
    RuleTable() = default;
    RuleTable(const RuleTable&) = delete;
    RuleTable& operator=(const RuleTable&) = delete;
    ~RuleTable();

    void insert(Rule* rule);
    // The rule for a name: exact name first, then the suffix from its last ".".
    Rule* lookup(const std::string& name) const;
    int count() const { return tree_.count; }
    // Every rule in ascending order of name, equal names in order of insertion.
    Rule* first() const;
    Rule* next(const Rule& rule) const;

  private:
    OrderedTree tree_;
};
