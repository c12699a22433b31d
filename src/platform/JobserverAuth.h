#pragma once

#include <string>

// Where MAKEFLAGS says the jobserver is: the value of its last
// --jobserver-auth= (or, from older tools, --jobserver-fds=) word.
struct JobserverAuth {
    enum class Kind {
        None,     // no jobserver, or one disabled by a negative descriptor
        Fifo,     // "fifo:PATH", a named pipe
        Pipe,     // "R,W", two inherited descriptors
        Semaphore // any other name: a named semaphore (Windows)
    };
    Kind kind = Kind::None;
    std::string name; // the path of the fifo, or the semaphore's name
    int readFd = -1;
    int writeFd = -1;
};

JobserverAuth jobserverAuthIn(const std::string& makeflags);
