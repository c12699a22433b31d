#include "preprocess/MacroTable.h"

#include "containers/NameCompare.h"

#include <cstring>

namespace {

void destroyEntries(TreeNode* node) {
    if (node == nullptr) {
        return;
    }
    destroyEntries(node->left);
    destroyEntries(node->right);
    delete static_cast<MacroEntry*>(node);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

bool isDelimiter(char c) {
    static const char kDelimiters[] = " \t\r\n\\$,()*&^%$#@![]{}|/-+=<>?:";
    return c != '\0' && std::strchr(kDelimiters, c) != nullptr;
}

int MacroEntry::compareKey(const std::string& key) const {
    return compareNames(name, key);
}

int MacroEntry::compareNode(const TreeNode& other) const {
    return compareNames(name, static_cast<const MacroEntry&>(other).name);
}

MacroTable::~MacroTable() {
    destroyEntries(tree_.root);
}

MacroEntry* MacroTable::find(const std::string& name) const {
    // The index answers what the tree would: names are unique in the table.
    MacroEntry* const* found = index_.find(name);
    return found == nullptr ? nullptr : *found;
}

const MacroEntry* MacroTable::entry(const std::string& name) const {
    return find(name);
}

void MacroTable::define(std::string name, std::string value) {
    if (MacroEntry* old = find(name)) {
        // Replacing the entry in place keeps its position, which the new name
        // (equal but for letter case) would take as well.
        if (!old->locked) {
            old->name = std::move(name);
            old->value = std::move(value);
        }
        return;
    }
    MacroEntry* entry = new MacroEntry(std::move(name), std::move(value));
    tree_.insert(entry);
    index_[entry->name] = entry;
}

void MacroTable::lock(const std::string& name) {
    if (MacroEntry* found = find(name)) {
        found->locked = true;
    }
}

void MacroTable::unlock(const std::string& name) {
    if (MacroEntry* found = find(name)) {
        found->locked = false;
    }
}

void MacroTable::undefine(const std::string& name) {
    MacroEntry* found = find(name);
    if (found != nullptr && !found->locked) {
        tree_.remove(found);
        index_[found->name] = nullptr;
        delete found;
    }
}

bool MacroTable::isDefined(const std::string& name) const {
    return find(name) != nullptr;
}

const std::string& MacroTable::valueOf(const std::string& name) const {
    const MacroEntry* found = find(name);
    return found != nullptr ? found->value : name;
}

bool MacroTable::isMacroDefinitionLine(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && !isDelimiter(line[i])) {
        ++i;
    }
    while (i < line.size() && isBlank(line[i])) {
        ++i;
    }
    return i < line.size() && line[i] == '=';
}

void MacroTable::defineMacroFromLine(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && !isDelimiter(line[i])) {
        ++i;
    }
    std::string name = line.substr(0, i);
    while (i < line.size() && isBlank(line[i])) {
        ++i;
    }
    if (i < line.size() && line[i] == '=') {
        ++i;
    }
    while (i < line.size() && isBlank(line[i])) {
        ++i;
    }
    std::size_t end = line.size();
    while (end > i && isBlank(line[end - 1])) {
        --end;
    }
    // Undefining first would change nothing that define does not: a locked
    // macro stays, an unlocked one is replaced.
    define(std::move(name), line.substr(i, end - i));
}
