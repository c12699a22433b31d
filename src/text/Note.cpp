#include "text/Note.h"

#include <cstdarg>
#include <cstdio>

void note(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    noteList(format, arguments);
    va_end(arguments);
}

void noteList(const char* format, va_list arguments) {
    std::fflush(stdout);
    std::fputs("tarvo: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
}
