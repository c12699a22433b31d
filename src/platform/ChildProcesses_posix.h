#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// A program that is not found may be a shell built-in, and a file that is no
// program the system starts may be a script: the shell has its go at them.
bool shellMayStart(int error);

// Processes that run side by side, each in a process group of its own, with
// standard input from /dev/null and standard output and error collected
// through pipes, which are read as they fill so that no child blocks on them.
class ChildProcesses {
  public:
    ChildProcesses() = default;
    ChildProcesses(const ChildProcesses&) = delete;
    ChildProcesses& operator=(const ChildProcesses&) = delete;
    ~ChildProcesses();

    std::uint64_t start(const std::string& commandLine);
    EndedProcess wait();

  private:
    struct Child {
        std::uint64_t id = 0;
        int processId = -1;
        int pipes[2] = {-1, -1}; // standard output, standard error
        OutputSpool collected[2];
    };

    // Reads what a pipe holds now; closes it at its end.
    static void drain(Child& child, int which);
    EndedProcess end(std::size_t index, int waitStatus);
    // Ends a command that could not be started, with the system's reason.
    std::uint64_t refuse(std::uint64_t id, const std::string& commandLine, int error);

    std::vector<Child> running_;
    std::deque<EndedProcess> ended_; // those that could not be started
    std::uint64_t nextId_ = 1;
};
