#include "text/Note.h"

#include <cstdarg>
#include <cstdio>

namespace {

// Every message goes through noteList, the one place that knows of the line.
TransientLine* gLine = nullptr;

} // namespace

NotesEraseLine::NotesEraseLine(TransientLine& line) : previous_(gLine) {
    gLine = &line;
}

NotesEraseLine::~NotesEraseLine() {
    gLine = previous_;
}

void note(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    noteList(format, arguments);
    va_end(arguments);
}

void noteList(const char* format, va_list arguments) {
    if (gLine != nullptr) {
        gLine->erase();
    }
    std::fflush(stdout);
    std::fputs("tarvo: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    // Where standard error goes to a file the C runtime may hold it back, out
    // of place among standard output and the commands' own errors.
    std::fflush(stderr);
}
