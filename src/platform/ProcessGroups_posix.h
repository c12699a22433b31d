#pragma once

#include <sys/types.h>

#include <vector>

// The process groups of the commands that run side by side, however many, for
// an interrupt to reach every one. The interrupt handler reads the set, so it
// is changed only while the interrupt signals are held back (SignalBlock).
class ProcessGroups {
  public:
    // How a signal is sent to a group (kill, given the group's negative id).
    using Sender = int (*)(pid_t, int);

    explicit ProcessGroups(Sender send);
    ProcessGroups(const ProcessGroups&) = delete;
    ProcessGroups& operator=(const ProcessGroups&) = delete;

    void add(pid_t group);
    void remove(pid_t group);
    bool empty() const { return groups_.empty(); }
    // Sends the signal to every group; safe in a signal handler.
    void signalAll(int signal) const;

  private:
    Sender send_;
    std::vector<pid_t> groups_;
};
