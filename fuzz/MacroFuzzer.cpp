// Macro definition and expansion on arbitrary lines with an arbitrary table.
// Each input line is an operation chosen by its first byte:
//   D name=value  define directly (values may refer to themselves)
//   L name        lock          U name   undefine
//   M line        record a definition line when it is one
//   anything else expand the line
// Besides crashes, leaks and hangs it checks what the table promises: a
// definition takes unless the name is locked, an undefinition likewise, and a
// finished expansion leaves no reference behind.
#include "preprocess/MacroTable.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MacroTable macros;
    // Runaway values are found the same way with a smaller limit, and faster.
    macros.setExpansionLimit(1 << 16);
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) {
            end = input.size();
        }
        const std::string line = input.substr(start, end - start);
        start = end + 1;
        if (line.empty()) {
            continue;
        }
        const std::string rest = line.substr(1);
        switch (line[0]) {
        case 'D': {
            const std::size_t equals = rest.find('=');
            const std::string name = rest.substr(0, equals);
            const std::string value =
                equals == std::string::npos ? std::string() : rest.substr(equals + 1);
            const MacroEntry* before = macros.entry(name);
            const bool locked = before != nullptr && before->locked;
            const std::string kept = locked ? before->value : value;
            macros.define(name, value);
            check(macros.isDefined(name) && macros.valueOf(name) == kept);
            break;
        }
        case 'L':
            macros.lock(rest);
            check(!macros.isDefined(rest) || macros.entry(rest)->locked);
            break;
        case 'U': {
            const MacroEntry* before = macros.entry(rest);
            const bool locked = before != nullptr && before->locked;
            macros.undefine(rest);
            check(macros.isDefined(rest) == locked);
            break;
        }
        case 'M':
            if (MacroTable::isMacroDefinitionLine(rest)) {
                macros.defineMacroFromLine(rest);
            }
            break;
        default: {
            std::string expanded = line;
            ExpansionFailure failure;
            if (macros.expandMacros(expanded, &failure)) {
                check(expanded.find("$(") == std::string::npos);
            } else {
                check(macros.isDefined(failure.macroName));
            }
            break;
        }
        }
    }
    return 0;
}
