#include "containers/OrderedTree.h"

int TreeNode::compareKey(const std::string&) const {
    return 0;
}

int TreeNode::compareNode(const TreeNode&) const {
    return 0;
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
