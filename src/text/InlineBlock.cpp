#include "text/InlineBlock.h"

#include "text/Blanks.h"

InlineBlock::Step InlineBlock::feed(std::string_view line) {
    if (open_) {
        const std::size_t end = line.find(terminator_);
        if (end == std::string_view::npos) {
            return {Role::Content, 0};
        }
        open_ = false;
        return {Role::Closing, end};
    }
    const std::size_t open = line.find("<<");
    if (open == std::string_view::npos) {
        return {Role::Command, 0};
    }
    const std::size_t after = open + 2;
    if (after < line.size() && !isBlank(line[after])) {
        terminator_.assign(1, line[after]);
    } else {
        terminator_ = "<<";
    }
    open_ = true;
    return {Role::Opening, open};
}
