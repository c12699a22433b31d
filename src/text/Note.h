#pragma once

#include "text/PrintfFormat.h"
#include <cstdarg>

// Prints "tarvo: ", the message made from the format and its arguments as
// printf does, and a line end on standard error: warnings, explanations and
// notes, which never mix with what standard output carries. Standard output is
// flushed first, so that on a terminal each note follows what it is about.
void note(const char* format, ...) PRINTF_FORMAT(1, 2);
// The same, with the arguments as a list.
void noteList(const char* format, va_list arguments);

// A line drawn at the bottom of standard error that output scrolls past (the
// progress line). Every note erases it first, so that no note is ever glued
// to it; the line is drawn again when it next changes.
class TransientLine {
  public:
    virtual ~TransientLine() = default;
    virtual void erase() = 0;
};

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
