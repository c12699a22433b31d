#include "text/ErrorReport.h"

#include <cstdarg>
#include <cstdio>

int reportError(const char* format, ...) {
    std::fputs("Error (tarvo):", stdout);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stdout, format, arguments);
    va_end(arguments);
    return 1;
}
