#pragma once

#include <cstddef>
#include <memory>
#include <string>

// The bottom line of the terminal (a console on Windows) behind standard
// error, for a status that the build's output scrolls past.
class ConsoleLine {
  public:
    virtual ~ConsoleLine() = default;

    // Columns the line may fill without wrapping.
    virtual std::size_t width() = 0;
    // Shows the text in place of what the line showed.
    virtual void show(const std::string& text) = 0;
    // Empties the line, the cursor at its start.
    virtual void clear() = 0;
};

// The line of standard error, or null when standard error is no terminal and
// `force` is false. Forced, escape sequences are written whatever it is.
std::unique_ptr<ConsoleLine> standardErrorLine(bool force);
