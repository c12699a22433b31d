#pragma once

#include "containers/NameCompare.h"
#include "containers/OrderedTree.h"

#include <string>

// A minimal tree entry for container tests: a key and a serial number that
// tells entries with equal keys apart.
class KeyedNode : public TreeNode {
  public:
    KeyedNode(std::string key, int serial = 0) : key(std::move(key)), serial(serial) {}
    virtual ~KeyedNode() = default;

    int compareKey(const std::string& other) const override { return compareNames(key, other); }
    int compareNode(const TreeNode& other) const override {
        return compareNames(key, static_cast<const KeyedNode&>(other).key);
    }

    std::string key;
    int serial;
};
