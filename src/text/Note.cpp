#include "text/Note.h"

#include <cstdarg>
#include <cstdio>

void note(const char* format, ...) {
    std::fflush(stdout);
    std::fputs("tarvo: ", stderr);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    // Where standard error goes to a file the C runtime may hold it back, out
    // of place among standard output and the commands' own errors.
    std::fflush(stderr);
}
