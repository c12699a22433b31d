#include "text/Diagnostics.h"

#include "text/Note.h"

void Diagnostics::warn(const char* format, ...) {
    if (quiet_) {
        return;
    }
    ++warnings_;
    va_list arguments;
    va_start(arguments, format);
    noteList(format, arguments);
    va_end(arguments);
}

bool Diagnostics::firstTime(const std::string& key) {
    return said_.insert(key).second;
}
