#pragma once

#include "containers/NameTable.h"
#include "containers/OrderedTree.h"

#include <memory>
#include <string>
#include <vector>

class Rule;

// Every rule of the run. Rules with the same key stand side by side; nothing is
// merged or removed. The table owns its rules.
//
// Which of several rules with the same name a lookup finds is surprising but
// intended: the one nearest the root of the tree, which the order of insertion
// and the tree's rotations decide, not simply the first or the last defined.
// With two such rules it is the first; with three, the second. Makefiles may
// rely on it, so the index below only caches what the tree's search gives.
class RuleTable {
  public:
    RuleTable() = default;
    RuleTable(const RuleTable&) = delete;
    RuleTable& operator=(const RuleTable&) = delete;
    ~RuleTable();

    void insert(Rule* rule);
    // The rule for a name: exact name first, then the suffix from its last ".".
    Rule* lookup(const std::string& name) const;
    // The other rules with the same name as one that find gives, nearer the
    // root first, and from left to right at the same depth.
    std::vector<Rule*> othersNamedLike(const Rule& found) const;
    // Every rule in ascending order of name, equal names in order of insertion.
    Rule* first() const;
    Rule* next(const Rule& rule) const;

  private:
    Rule* find(std::string_view name) const;

    OrderedTree tree_;
    // What the tree's find gives for each name, made at the first lookup after
    // an insert: a make looks up every dependency and source, mostly names
    // that have no rule. Names equal but for letter case compare alike all the
    // way down the tree, so one entry answers for all of them.
    mutable std::unique_ptr<NameTable<Rule*, true>> index_;
};
