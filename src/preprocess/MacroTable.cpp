#include "preprocess/MacroTable.h"

#include "text/Blanks.h"
#include "text/Delimiters.h"

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
    slot.entry.environmentValue.clear();
}

void MacroTable::defineFromEnvironment(std::string name, std::string value,
                                       const std::string& wholeValue) {
    std::size_t start = 0;
    std::size_t end = wholeValue.size();
    while (start < end && isBlank(wholeValue[start])) {
        ++start;
    }
    while (end > start && isBlank(wholeValue[end - 1])) {
        --end;
    }
    const bool cut = wholeValue.compare(start, end - start, value) != 0;
    const std::string key = name;
    define(std::move(name), std::move(value));
    if (cut) {
        if (MacroEntry* entry = find(key)) {
            entry->environmentValue = wholeValue;
        }
    }
}

void MacroTable::lock(const std::string& name) {
    if (MacroEntry* found = find(name)) {
        found->locked = true;
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

namespace {

// Where the name and the value of a definition line lie.
struct DefinitionParts {
    std::size_t nameEnd;
    std::size_t valueStart;
    std::size_t valueEnd;
};

DefinitionParts splitDefinition(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && !isDelimiter(line[i])) {
        ++i;
    }
    const std::size_t nameEnd = i;
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
    return DefinitionParts{nameEnd, i, end};
}

} // namespace

// Undefining first would change nothing that define does not: a locked macro
// stays, an unlocked one is replaced.
void MacroTable::defineMacroFromLine(const std::string& line) {
    const DefinitionParts parts = splitDefinition(line);
    define(line.substr(0, parts.nameEnd),
           line.substr(parts.valueStart, parts.valueEnd - parts.valueStart));
}

void MacroTable::defineMacroFromLine(std::string&& line) {
    // A long value keeps the line's storage rather than being copied, unless
    // most of that would be wasted; a short one is copied, so that the line's
    // storage serves the next line.
    constexpr std::size_t kLongValue = 4096;
    const DefinitionParts parts = splitDefinition(line);
    const std::size_t length = parts.valueEnd - parts.valueStart;
    if (length < kLongValue || length * 2 < line.capacity()) {
        defineMacroFromLine(static_cast<const std::string&>(line));
        return;
    }
    std::string name = line.substr(0, parts.nameEnd);
    line.resize(parts.valueEnd);
    line.erase(0, parts.valueStart);
    define(std::move(name), std::move(line));
}
