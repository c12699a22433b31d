#pragma once

#include <cstdarg>
#include <string>
#include <unordered_set>

// What a run says about the makefile and the build besides its errors: warnings
// on standard error, each begun "tarvo: ". It counts them, so that a strict run
// can end with status 1 once the build is over, and it remembers the names that
// a message is said for only once.
class Diagnostics {
  public:
    Diagnostics() = default;
    // A quiet one says and counts nothing: for walks that only look ahead.
    explicit Diagnostics(bool quiet) : quiet_(quiet) {}
    Diagnostics(const Diagnostics&) = delete;
    Diagnostics& operator=(const Diagnostics&) = delete;

    // Prints the warning as printf does and counts it.
    void warn(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    // True the first time a key is given, false ever after.
    bool firstTime(const std::string& key);
    int warnings() const {
        return warnings_;
    }

  private:
    bool quiet_ = false;
    int warnings_ = 0;
    std::unordered_set<std::string> said_;
};
