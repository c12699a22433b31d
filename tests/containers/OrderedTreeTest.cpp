#include "containers/OrderedTree.h"
#include "support/KeyedNode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace {

KeyedNode* asKeyed(TreeNode* node) {
    return static_cast<KeyedNode*>(node);
}

// Renders a subtree as key(left,right) with "-" for an empty child.
std::string shape(const TreeNode* node) {
    if (node == nullptr) {
        return "-";
    }
    const std::string key = static_cast<const KeyedNode*>(node)->key;
    if (node->left == nullptr && node->right == nullptr) {
        return key;
    }
    return key + "(" + shape(node->left) + "," + shape(node->right) + ")";
}

class Forest {
  public:
    KeyedNode* make(const std::string& key, int serial = 0) {
        nodes_.push_back(std::make_unique<KeyedNode>(key, serial));
        return nodes_.back().get();
    }
    KeyedNode* add(OrderedTree& tree, const std::string& key, int serial = 0) {
        return asKeyed(tree.insert(make(key, serial)));
    }

  private:
    std::vector<std::unique_ptr<KeyedNode>> nodes_;
};

// Checks every invariant and returns the height of the subtree.
int checkSubtree(const TreeNode* node, const TreeNode* parent, int& visited) {
    if (node == nullptr) {
        return 0;
    }
    EXPECT_EQ(node->parent, parent);
    const int left = checkSubtree(node->left, node, visited);
    const int right = checkSubtree(node->right, node, visited);
    EXPECT_EQ(node->balance, right - left);
    EXPECT_GE(node->balance, -1);
    EXPECT_LE(node->balance, 1);
    ++visited;
    return 1 + std::max(left, right);
}

void checkTree(const OrderedTree& tree, int entries) {
    int visited = 0;
    checkSubtree(tree.root, nullptr, visited);
    EXPECT_EQ(visited, entries);
    // In-order: keys non-decreasing, equal keys in insertion (serial) order.
    const KeyedNode* previous = nullptr;
    int walked = 0;
    for (TreeNode* node = tree.first(); node != nullptr; node = node->next()) {
        const KeyedNode* current = asKeyed(node);
        if (previous != nullptr) {
            const int order = compareNames(previous->key, current->key);
            EXPECT_LE(order, 0);
            if (order == 0) {
                EXPECT_LT(previous->serial, current->serial);
            }
            EXPECT_EQ(node->previous(), previous);
        }
        previous = current;
        ++walked;
    }
    EXPECT_EQ(walked, entries);
}

TEST(OrderedTree, EmptyTree) {
    OrderedTree tree;
    EXPECT_EQ(tree.find("a"), nullptr);
    EXPECT_EQ(tree.first(), nullptr);
}

struct ShapeCase {
    const char* keys;
    const char* shape;
};

void PrintTo(const ShapeCase& c, std::ostream* out) {
    *out << c.keys << " -> " << c.shape;
}

class InsertionShape : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(InsertionShape, MatchesRotations) {
    Forest forest;
    OrderedTree tree;
    for (const char* key = GetParam().keys; *key != '\0'; ++key) {
        forest.add(tree, std::string(1, *key));
    }
    EXPECT_EQ(shape(tree.root), GetParam().shape);
    checkTree(tree, static_cast<int>(std::string(GetParam().keys).size()));
}

INSTANTIATE_TEST_SUITE_P(Shapes, InsertionShape,
                         ::testing::Values(ShapeCase{"abc", "b(a,c)"}, ShapeCase{"cab", "b(a,c)"},
                                           ShapeCase{"acb", "b(a,c)"}, ShapeCase{"cba", "b(a,c)"},
                                           ShapeCase{"dbfaceg", "d(b(a,c),f(e,g))"},
                                           ShapeCase{"abcd", "b(a,c(-,d))"},
                                           ShapeCase{"abcdefg", "d(b(a,c),f(e,g))"}),
                         [](const auto& info) { return std::string(info.param.keys); });

TEST(OrderedTree, EqualKeysKeepInsertionOrderAndFindNearestRoot) {
    Forest forest;
    OrderedTree tree;
    KeyedNode* first = forest.add(tree, "k", 1);
    KeyedNode* second = forest.add(tree, "K", 2);
    EXPECT_EQ(tree.root, first);
    EXPECT_EQ(first->right, second);
    EXPECT_EQ(tree.find("k"), first);
    KeyedNode* third = forest.add(tree, "k", 3);
    EXPECT_EQ(tree.root, second);
    EXPECT_EQ(second->left, first);
    EXPECT_EQ(second->right, third);
    EXPECT_EQ(tree.find("K"), second);
    checkTree(tree, 3);
}

TEST(OrderedTree, FindIgnoresLetterCaseAndFoldsOnlyAsciiLetters) {
    Forest forest;
    OrderedTree tree;
    forest.add(tree, "Main.OBJ");
    forest.add(tree, "_x");
    forest.add(tree, "a");
    EXPECT_NE(tree.find("main.obj"), nullptr);
    EXPECT_EQ(tree.find("main.ob"), nullptr);
    // "_" sorts before letters once they are folded.
    EXPECT_EQ(asKeyed(tree.first())->key, "_x");
}

TEST(OrderedTree, RandomInsertsKeepEveryInvariant) {
    std::mt19937 random(12345);
    Forest forest;
    OrderedTree tree;
    for (int step = 0; step < 2000; ++step) {
        // Few distinct keys, so that many entries compare equal.
        std::string key(1, static_cast<char>('a' + random() % 12));
        if (random() % 2 == 0) {
            key[0] = static_cast<char>(key[0] - 'a' + 'A');
        }
        forest.add(tree, key, step);
        checkTree(tree, step + 1);
        if (::testing::Test::HasFailure()) {
            FAIL() << "invariant broken at step " << step;
        }
    }
}

} // namespace
