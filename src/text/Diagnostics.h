#pragma once

#include "text/PrintfFormat.h"

#include <cstdarg>
#include <string>
#include <unordered_set>

class TransientLine;

// Everything the run says of its own, besides the commands' echo and the
// listings it is asked for: the tool's errors, on standard output, each begun
// "Error (tarvo):" (the texts are in ErrorReport.h); and warnings and notes on
// standard error, each begun "tarvo: ". Warnings are counted, so that a strict
// run can end with status 1 once the build is over; notes (what happened,
// explanations) are not. It remembers the names that a message is said for
// only once, and erases the progress line before each message.
class Diagnostics {
  public:
    enum class Kind { Error, Warning, Note };
    // What a walk that only looks ahead keeps to itself.
    enum class Silence {
        None,
        // Warnings and notes, which are no news to it; an error still ends it
        // and is said.
        WarningsAndNotes,
        // Everything: a real walk follows, which says it all again.
        Everything,
    };

    Diagnostics() = default;
    explicit Diagnostics(Silence silence) : silence_(silence) {}
    Diagnostics(const Diagnostics&) = delete;
    Diagnostics& operator=(const Diagnostics&) = delete;

    // Prints "Error (tarvo):" and the message made from one of the texts of
    // ErrorReport.h as printf does. Returns 1, the status of such an error.
    int error(const char* format, ...) PRINTF_FORMAT(2, 3);
    // Prints the warning as printf does and counts it.
    void warn(const char* format, ...) PRINTF_FORMAT(2, 3);
    void note(const char* format, ...) PRINTF_FORMAT(2, 3);
    void say(Kind kind, const char* format, va_list arguments);

    // The tool's error as text, for output that is collected before it is
    // shown, beside that of the command it is about.
    static std::string errorText(const char* format, ...) PRINTF_FORMAT(1, 2);

    // True the first time a key is given, false ever after.
    bool firstTime(const std::string& key);
    int warnings() const { return warnings_; }

    // While a line is drawn below the output (null: none), each message
    // erases it first.
    void drawnBelow(TransientLine* line) { line_ = line; }

  private:
    bool silenced(Kind kind) const;

    Silence silence_ = Silence::None;
    int warnings_ = 0;
    TransientLine* line_ = nullptr;
    std::unordered_set<std::string> said_;
};
