#include "preprocess/MacroTable.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

namespace {

struct DelimiterTable {
    bool marks[256] = {};
    constexpr DelimiterTable() {
        for (const char* c = " \t\r\n\\$,()*&^%$#@![]{}|/-+=<>?:"; *c != '\0'; ++c) {
            marks[static_cast<unsigned char>(*c)] = true;
        }
    }
};

// Names are scanned a character at a time on every definition and condition.
constexpr DelimiterTable kDelimiterTable;

} // namespace

bool isDelimiter(char c) {
    return kDelimiterTable.marks[static_cast<unsigned char>(c)];
}

MacroEntry* MacroTable::find(std::string_view name) const {
    Slot* const slot = slots_.find(name);
    return slot != nullptr && slot->defined ? &slot->entry : nullptr;
}

const MacroEntry* MacroTable::entry(std::string_view name) const {
    return find(name);
}

void MacroTable::define(std::string name, std::string value) {
    Slot& slot = slots_[name];
    if (slot.defined && slot.entry.locked) {
        return;
    }
    slot.defined = true;
    slot.entry.name = std::move(name);
    slot.entry.value = std::move(value);
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
    Slot* const slot = slots_.find(name);
    if (slot != nullptr && slot->defined && !slot->entry.locked) {
        slot->defined = false;
        slot->entry = MacroEntry();
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

void MacroTable::defineMacroFromLine(std::string line) {
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
    // macro stays, an unlocked one is replaced. A long value keeps the line's
    // storage rather than being copied, unless most of that would be wasted.
    const std::size_t length = end - i;
    if (length * 2 < line.capacity()) {
        define(std::move(name), line.substr(i, length));
        return;
    }
    line.resize(end);
    line.erase(0, i);
    define(std::move(name), std::move(line));
}
