#include "preprocess/Evaluator.h"

#include "preprocess/OperatorEntry.h"
#include "text/Blanks.h"
#include "text/Delimiters.h"

#include <utility>
#include <vector>

namespace {

void destroyEntries(TreeNode* node) {
    if (node == nullptr) {
        return;
    }
    destroyEntries(node->left);
    destroyEntries(node->right);
    delete static_cast<OperatorEntry*>(node);
}

} // namespace

Evaluator::~Evaluator() {
    destroyEntries(operators_.root);
}

void Evaluator::addOperator(std::unique_ptr<Operator> op) {
    operators_.insert(new OperatorEntry(std::move(op)));
}

const Operator* Evaluator::findOperator(const std::string& token) const {
    const TreeNode* found = operators_.find(token);
    return found != nullptr ? &static_cast<const OperatorEntry*>(found)->op() : nullptr;
}

const std::string* Evaluator::nextToken(const std::string* text) {
    if (text != nullptr) {
        scanText_ = *text;
        scanPosition_ = 0;
    }
    const std::size_t size = scanText_.size();
    std::size_t i = scanPosition_;
    while (i < size && isBlank(scanText_[i])) {
        ++i;
    }
    const std::size_t start = i;
    if (i < size && isDelimiter(scanText_[i])) {
        while (i < size && isDelimiter(scanText_[i]) && !isBlank(scanText_[i])) {
            ++i;
        }
    } else {
        while (i < size && !isDelimiter(scanText_[i])) {
            ++i;
        }
    }
    scanPosition_ = i;
    if (i == start) {
        return nullptr;
    }
    token_.assign(scanText_, start, i - start);
    return &token_;
}

std::unique_ptr<Value> Evaluator::evaluate(const std::string& text) {
    std::vector<PostfixEntry>& postfix = postfix_;
    std::vector<const Operator*>& pending = pending_;
    postfix.clear();
    pending.clear();
    const auto movePendingTop = [&postfix, &pending]() {
        postfix.push_back(PostfixEntry{pending.back(), nullptr});
        pending.pop_back();
    };

    for (const std::string* token = nextToken(&text); token != nullptr;
         token = nextToken(nullptr)) {
        if (const Operator* op = findOperator(*token)) {
            // Only strictly higher precedence yields, so equal operators group from the right.
            while (!pending.empty() && pending.back() != nullptr &&
                   pending.back()->precedence() > op->precedence()) {
                movePendingTop();
            }
            pending.push_back(op);
        } else if ((*token)[0] == '(') {
            pending.push_back(nullptr);
        } else if ((*token)[0] == ')') {
            while (!pending.empty() && pending.back() != nullptr) {
                movePendingTop();
            }
            if (pending.empty()) {
                return nullptr; // a ")" with no "(" open
            }
            pending.pop_back();
        } else {
            postfix.push_back(PostfixEntry{nullptr, makeOperand(*token)});
        }
    }
    while (!pending.empty()) {
        if (pending.back() == nullptr) {
            return nullptr; // an "(" never closed
        }
        movePendingTop();
    }

    std::vector<std::unique_ptr<Value>>& values = values_;
    values.clear();
    for (PostfixEntry& entry : postfix) {
        if (entry.op == nullptr) {
            values.push_back(std::move(entry.value));
            continue;
        }
        if (values.size() < 2) {
            return nullptr;
        }
        std::unique_ptr<Value> right = std::move(values.back());
        values.pop_back();
        std::unique_ptr<Value> left = std::move(values.back());
        values.pop_back();
        values.push_back(entry.op->apply(std::move(left), std::move(right)));
    }
    if (values.size() != 1) {
        return nullptr;
    }
    std::unique_ptr<Value> result = std::move(values.back());
    values.clear();
    return result;
}
