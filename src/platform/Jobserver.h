#pragma once

#include <cstdint>
#include <memory>
#include <string>

class Diagnostics;
// A pool of job slots shared with other build tools through the environment:
// every process that runs under it has one slot for free and takes a token
// for each further command it runs at once, giving it back when that command
// has ended. One implementation per platform; tests use a fake.
class Jobserver {
  public:
    virtual ~Jobserver() = default;

    // Takes a token if one is free now; never waits.
    virtual bool tryAcquire() = 0;
    // Gives back a token that tryAcquire took; never waits.
    virtual void release() = 0;
    // A descriptor that turns readable when a token may be free, so that a
    // wait for the children can watch it too; -1 where there is none.
    virtual std::intptr_t readiness() const { return -1; }
};

// How a jobserver that tarvo creates is handed to the commands.
enum class JobserverStyle {
    Default, // two inherited pipe descriptors on POSIX, a named semaphore on Windows
    Pipe,    // two inherited pipe descriptors, which every client reads
    Fifo,    // a named pipe, which only newer clients read
};

// A jobserver of the run's own, and the words of MAKEFLAGS that name it to
// the commands ("-jN --jobserver-auth=...").
struct CreatedJobserver {
    std::unique_ptr<Jobserver> jobserver;
    std::string makeflags;
};

// Creates a jobserver of jobs - 1 tokens, or of as many as the system holds
// when that is fewer (with a note); nothing, with a note, when the system
// refuses.
CreatedJobserver createJobserver(unsigned jobs, JobserverStyle style, Diagnostics& diagnostics);

// Opens the jobserver that an --jobserver-auth (or --jobserver-fds) word of
// MAKEFLAGS names; null when it names none, and null with a note when the one
// it names cannot be opened.
std::unique_ptr<Jobserver> openJobserver(const std::string& makeflags, Diagnostics& diagnostics);
