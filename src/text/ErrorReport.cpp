#include "text/ErrorReport.h"

#include <cstdarg>
#include <cstdio>

std::string errorText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text = "Error (tarvo):";
    if (length > 0) {
        const std::size_t prefix = text.size();
        text.resize(prefix + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(&text[prefix], static_cast<std::size_t>(length) + 1, format, again);
        text.resize(prefix + static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

int reportError(const char* format, ...) {
    std::fputs("Error (tarvo):", stdout);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stdout, format, arguments);
    va_end(arguments);
    return 1;
}
