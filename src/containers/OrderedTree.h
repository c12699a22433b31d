#pragma once

#include <string>

// Base of every entry of an OrderedTree. The links live in the entries, so the
// tree allocates, copies and destroys nothing.
class TreeNode {
  public:
    TreeNode() = default;
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;

    virtual int compareKey(const std::string& key) const;
    virtual int compareNode(const TreeNode& other) const;

    TreeNode* next() const;
    TreeNode* previous() const;

    int balance = 0;
    TreeNode* left = nullptr;
    TreeNode* right = nullptr;
    TreeNode* parent = nullptr;

  protected:
    // Entries are destroyed through their own classes, never through the tree.
    ~TreeNode() = default;
    friend class OrderedTree;
};

// Height-balanced (AVL) search tree. Equal keys are kept in insertion order;
// find returns the equal entry nearest the root.
class OrderedTree {
  public:
    TreeNode* insert(TreeNode* entry);
    TreeNode* find(const std::string& key) const;
    TreeNode* first() const;

    TreeNode* root = nullptr;

  private:
    static TreeNode* insertInto(TreeNode* node, TreeNode* entry);
    static TreeNode* rebalance(TreeNode* node);
    static TreeNode* rotateLeft(TreeNode* node);
    static TreeNode* rotateRight(TreeNode* node);
};
