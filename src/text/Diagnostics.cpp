#include "text/Diagnostics.h"

#include "text/TransientLine.h"

#include <cstdio>

int Diagnostics::error(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    say(Kind::Error, format, arguments);
    va_end(arguments);
    return 1;
}

void Diagnostics::warn(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    say(Kind::Warning, format, arguments);
    va_end(arguments);
}

void Diagnostics::note(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    say(Kind::Note, format, arguments);
    va_end(arguments);
}

void Diagnostics::say(Kind kind, const char* format, va_list arguments) {
    if (silenced(kind)) {
        return;
    }
    if (line_ != nullptr) {
        line_->erase();
    }
    if (kind == Kind::Error) {
        std::fputs("Error (tarvo):", stdout);
        std::vfprintf(stdout, format, arguments);
        return;
    }
    if (kind == Kind::Warning) {
        ++warnings_;
    }
    // Standard error never mixes with what standard output carries: on a
    // terminal each message follows what it is about.
    std::fflush(stdout);
    std::fputs("tarvo: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    // Where standard error goes to a file the C runtime may hold it back, out
    // of place among standard output and the commands' own errors.
    std::fflush(stderr);
}

std::string Diagnostics::errorText(const char* format, ...) {
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

bool Diagnostics::firstTime(const std::string& key) {
    return said_.insert(key).second;
}

bool Diagnostics::silenced(Kind kind) const {
    switch (silence_) {
    case Silence::None:
        return false;
    case Silence::WarningsAndNotes:
        return kind != Kind::Error;
    case Silence::Everything:
        return true;
    }
    return false;
}
