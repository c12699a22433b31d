#pragma once

#include <cstdint>
#include <string>

// Told of each command an executor starts and ends, for whatever watches the
// build (a progress line, a record of times, a trace). Ids are unique among
// the commands running at one time.
class CommandObserver {
  public:
    virtual ~CommandObserver() = default;

    // Output of the build is about to be written on standard output or error.
    virtual void writing() = 0;
    // The command starts. `direct`: its output goes out while it runs, not in
    // one block when it ends.
    virtual void started(std::uint64_t id, const std::string& target, const std::string& text,
                         bool direct) = 0;
    // The command has ended with the status (0 when a failure was ignored), and
    // its output, if collected, has been written.
    virtual void ended(std::uint64_t id, const std::string& target, const std::string& text,
                       int status) = 0;
    // Commands run, and none has ended for a while: what shows the time may
    // show it again.
    virtual void waiting() {}
};
