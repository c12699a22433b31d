#include "platform/InheritedStandardHandles_win32.h"

namespace {

UniqueHandle inheritableCopy(DWORD which) {
    const HANDLE own = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (own == nullptr || own == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        return UniqueHandle();
    }
    return UniqueHandle(copy);
}

} // namespace

InheritedStandardHandles::InheritedStandardHandles() {
    const DWORD kinds[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE* const slots[3] = {&handles_.input, &handles_.output, &handles_.error};
    for (int i = 0; i < 3; ++i) {
        copies_[i] = inheritableCopy(kinds[i]);
        if (copies_[i].valid()) {
            *slots[i] = copies_[i].get();
            continue;
        }
        if (!null_.valid()) {
            null_ = openInheritableNull();
        }
        *slots[i] = null_.get();
    }
}
