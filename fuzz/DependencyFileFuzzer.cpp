// The dependency-file reader on arbitrary bytes, as make rules or as JSON.
//
// Besides crashes, leaks and hangs it checks what the reader promises: a
// failure has a one-line reason and no names; a success lists each name once,
// none empty and none with a zero byte; and names written back as one rule,
// escaped, read back the same.
#include "rules/depfiles/DependencyFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

namespace {

void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

// Whether the name has a spelling in a make rule: line ends cannot be
// escaped, and a final ':' would separate.
bool writable(const std::string& name) {
    return name.find_first_of("\r\n") == std::string::npos && name.back() != ':';
}

std::string escaped(const std::string& name) {
    std::string out;
    for (const char c : name) {
        if (c == ' ' || c == '\t' || c == '#') {
            out += '\\';
        } else if (c == '$') {
            out += '$';
        }
        out += c;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    DependencyFile file;
    if (!file.parse(input)) {
        const std::string& reason = file.failure();
        check(!reason.empty() && reason.find('\n') == std::string::npos);
        check(file.names().empty());
        return 0;
    }
    check(file.failure().empty());
    std::unordered_set<std::string_view> seen;
    bool allWritable = true;
    for (const std::string& name : file.names()) {
        check(!name.empty() && name.find('\0') == std::string::npos);
        check(seen.insert(name).second);
        allWritable = allWritable && writable(name);
    }
    if (!allWritable) {
        return 0;
    }
    // Each name ends its own continued line: a blank, a line end or the end
    // of the text after a name that ends in a backslash would take that
    // backslash.
    std::string rule = "t: ";
    for (const std::string& name : file.names()) {
        rule += escaped(name) + "\\\n";
    }
    DependencyFile again;
    check(again.parse(rule));
    check(again.names() == file.names());
    return 0;
}
