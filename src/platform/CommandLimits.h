#pragma once

#include <cstddef>
#include <optional>
#include <string>

// How long a command line may be where it is started.
struct ExceededLimit {
    std::size_t length = 0; // the line's characters, as the system counts them
    std::size_t limit = 0;  // the most that it takes
    // cmd's limit, for a line that goes to cmd, rather than the system's.
    bool interpreter = false;
};

// Every line of at most this many bytes fits.
std::size_t fittingCommandLength();

// The limit that the line, as it would be started, exceeds; nothing when it
// fits. Such a line would be refused, or worse, cut or run as nothing.
std::optional<ExceededLimit> exceededCommandLimit(const std::string& commandLine);
