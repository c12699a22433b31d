#pragma once

#include "text/PrintfFormat.h"
#include "text/TransientLine.h"

#include <cstdarg>

// Prints "tarvo: ", the message made from the format and its arguments as
// printf does, and a line end on standard error: warnings, explanations and
// notes, which never mix with what standard output carries. Standard output is
// flushed first, so that on a terminal each note follows what it is about.
void note(const char* format, ...) PRINTF_FORMAT(1, 2);
// The same, with the arguments as a list.
void noteList(const char* format, va_list arguments);

// While it lives, notes erase the line before they are written.
class NotesEraseLine {
  public:
    explicit NotesEraseLine(TransientLine& line);
    ~NotesEraseLine();
    NotesEraseLine(const NotesEraseLine&) = delete;
    NotesEraseLine& operator=(const NotesEraseLine&) = delete;

  private:
    TransientLine* previous_;
};
