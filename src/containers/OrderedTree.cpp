#include "containers/OrderedTree.h"

int TreeNode::compareKey(const std::string&) const {
    return 0;
}

int TreeNode::compareNode(const TreeNode&) const {
    return 0;
}

void TreeNode::resetLinks() {
    balance = 0;
    left = nullptr;
    right = nullptr;
    parent = nullptr;
}

TreeNode* TreeNode::next() const {
    if (right != nullptr) {
        TreeNode* node = right;
        while (node->left != nullptr) {
            node = node->left;
        }
        return node;
    }
    const TreeNode* child = this;
    TreeNode* up = parent;
    while (up != nullptr && up->right == child) {
        child = up;
        up = up->parent;
    }
    return up;
}

TreeNode* TreeNode::previous() const {
    if (left != nullptr) {
        TreeNode* node = left;
        while (node->right != nullptr) {
            node = node->right;
        }
        return node;
    }
    const TreeNode* child = this;
    TreeNode* up = parent;
    while (up != nullptr && up->left == child) {
        child = up;
        up = up->parent;
    }
    return up;
}

TreeNode* OrderedTree::insert(TreeNode* entry) {
    if (root == nullptr) {
        root = entry;
    } else {
        root = insertInto(root, entry);
    }
    ++count;
    return entry;
}

TreeNode* OrderedTree::insertInto(TreeNode* node, TreeNode* entry) {
    const bool goLeft = entry->compareNode(*node) < 0;
    const int step = goLeft ? -1 : 1;
    TreeNode*& child = goLeft ? node->left : node->right;
    if (child == nullptr) {
        child = entry;
        entry->parent = node;
        node->balance += step;
        return rebalance(node);
    }
    const int before = child->balance;
    child = insertInto(child, entry);
    if (before == 0 && child->balance != 0) {
        node->balance += step;
    }
    return rebalance(node);
}

TreeNode* OrderedTree::rebalance(TreeNode* node) {
    if (node->balance < -1) {
        if (node->left->balance > 0) {
            node->left = rotateLeft(node->left);
        }
        return rotateRight(node);
    }
    if (node->balance > 1) {
        if (node->right->balance < 0) {
            node->right = rotateRight(node->right);
        }
        return rotateLeft(node);
    }
    return node;
}

TreeNode* OrderedTree::rotateLeft(TreeNode* node) {
    TreeNode* r = node->right;
    node->right = r->left;
    if (r->left != nullptr) {
        r->left->parent = node;
    }
    r->left = node;
    r->parent = node->parent;
    node->parent = r;
    const int a = r->balance;
    const int b = node->balance;
    if (a <= 0) {
        r->balance = b <= 0 ? a + b - 2 : a - 1;
        node->balance = b - 1;
    } else {
        node->balance = b - a - 1;
        r->balance = b > a ? a - 1 : b - 2;
    }
    return r;
}

TreeNode* OrderedTree::rotateRight(TreeNode* node) {
    TreeNode* l = node->left;
    node->left = l->right;
    if (l->right != nullptr) {
        l->right->parent = node;
    }
    l->right = node;
    l->parent = node->parent;
    node->parent = l;
    const int a = l->balance;
    const int b = node->balance;
    if (a > 0) {
        l->balance = b < 0 ? a + 1 : a + b + 2;
        node->balance = b + 1;
    } else {
        node->balance = b - a + 1;
        l->balance = b < a ? a + 1 : b + 2;
    }
    return l;
}

TreeNode* OrderedTree::remove(TreeNode* entry) {
    root = removeFrom(root, entry);
    --count;
    return entry;
}

void OrderedTree::shrinkUpwards(TreeNode* parent, TreeNode* child) {
    while (parent != nullptr) {
        parent->balance += parent->left == child ? 1 : -1;
        if (parent->balance != 0) {
            return;
        }
        child = parent;
        parent = parent->parent;
    }
}

TreeNode* OrderedTree::removeFrom(TreeNode* node, TreeNode* entry) {
    if (node == entry) {
        TreeNode* replacement = nullptr;
        if (entry->right != nullptr) {
            replacement = entry->right;
            while (replacement->left != nullptr) {
                replacement = replacement->left;
            }
        } else {
            replacement = entry->left;
        }
        if (replacement == nullptr) {
            TreeNode* parent = entry->parent;
            entry->resetLinks();
            shrinkUpwards(parent, entry);
            return nullptr;
        }
        TreeNode* subtree = removeFrom(entry, replacement);
        if (subtree == entry) {
            subtree = replacement;
        }
        replacement->left = entry->left;
        replacement->right = entry->right;
        if (replacement->left != nullptr) {
            replacement->left->parent = replacement;
        }
        if (replacement->right != nullptr) {
            replacement->right->parent = replacement;
        }
        replacement->parent = entry->parent;
        if (entry->parent != nullptr) {
            if (entry->parent->left == entry) {
                entry->parent->left = replacement;
            } else {
                entry->parent->right = replacement;
            }
        }
        replacement->balance = entry->balance;
        entry->resetLinks();
        return subtree;
    }

    const int order = entry->compareNode(*node);
    bool goLeft = order < 0;
    if (order == 0) {
        const TreeNode* walk = node->previous();
        while (walk != nullptr && walk != entry && entry->compareNode(*walk) == 0) {
            walk = walk->previous();
        }
        goLeft = walk == entry;
    }
    if (goLeft) {
        node->left = removeFrom(node->left, entry);
    } else {
        node->right = removeFrom(node->right, entry);
    }
    const int before = node->balance;
    TreeNode* subtree = rebalance(node);
    if (before != 0 && subtree->balance == 0) {
        shrinkUpwards(subtree->parent, node);
    }
    return subtree;
}

TreeNode* OrderedTree::find(const std::string& key) const {
    TreeNode* node = root;
    while (node != nullptr) {
        const int order = node->compareKey(key);
        if (order == 0) {
            return node;
        }
        node = order > 0 ? node->left : node->right;
    }
    return nullptr;
}

TreeNode* OrderedTree::first() const {
    if (root == nullptr) {
        return nullptr;
    }
    TreeNode* node = root;
    while (TreeNode* before = node->previous()) {
        node = before;
    }
    return node;
}
