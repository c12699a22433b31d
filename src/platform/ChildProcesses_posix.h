#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class Diagnostics;

// Processes that run side by side, each in a process group of its own, with
// standard input from /dev/null and standard output and error collected
// through pipes, which are read as they fill so that no child blocks on them.
// None starts once an interrupt has arrived. None fails for want of
// descriptors while others run: the start waits for one of them to end.
class ChildProcesses {
  public:
    ChildProcesses() = default;
    ChildProcesses(const ChildProcesses&) = delete;
    ChildProcesses& operator=(const ChildProcesses&) = delete;
    ~ChildProcesses();

    // Where a start that must wait for descriptors is noted; null: nowhere.
    void reportThrough(Diagnostics* diagnostics) { diagnostics_ = diagnostics; }
    std::uint64_t start(const std::string& commandLine, FoundPrograms& programs);
    EndedProcess wait() { return *waitOr(-1, -1); }
    // Waits as wait() does, but returns nothing once the descriptor `wake`
    // (-1: none) turns readable first, or once `milliseconds` (-1: no limit)
    // have passed.
    std::optional<EndedProcess> waitOr(int wake, int milliseconds);

  private:
    struct Child {
        std::uint64_t id = 0;
        int processId = -1;
        int pipes[2] = {-1, -1}; // standard output, standard error
        OutputSpool collected[2];
    };

    // Starts the command, or notes it as ended at once after an interrupt;
    // otherwise the system's error.
    int tryStart(std::uint64_t id, const std::string& commandLine, FoundPrograms& programs);
    // Frees descriptors for another start: raises the limit, or else waits for
    // a command to end and keeps it for waitOr. False when neither can be.
    bool makeRoom();
    // Waits for a child to end (or for `wake`), whatever has ended already.
    std::optional<EndedProcess> waitForChild(int wake, int milliseconds);
    // Reads what a pipe holds now; closes it at its end.
    static void drain(Child& child, int which);
    EndedProcess end(std::size_t index, int waitStatus);
    // Ends a command that could not be started, with the system's reason.
    std::uint64_t refuse(std::uint64_t id, const std::string& commandLine, int error);

    std::vector<Child> running_;
    std::deque<EndedProcess> ended_; // those that could not be started
    std::uint64_t nextId_ = 1;
    bool saidShort_ = false; // that the descriptors allow fewer at once
    Diagnostics* diagnostics_ = nullptr;
};
