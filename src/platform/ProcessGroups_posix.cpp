#include "platform/ProcessGroups_posix.h"

#include <algorithm>

ProcessGroups::ProcessGroups(Sender send) : send_(send) {}

void ProcessGroups::add(pid_t group) {
    groups_.push_back(group);
}

void ProcessGroups::remove(pid_t group) {
    // The order does not matter: the last takes the place of the one that goes.
    const auto found = std::find(groups_.begin(), groups_.end(), group);
    if (found != groups_.end()) {
        *found = groups_.back();
        groups_.pop_back();
    }
}

void ProcessGroups::signalAll(int signal) const {
    const pid_t* const groups = groups_.data();
    const std::size_t count = groups_.size();
    for (std::size_t i = 0; i < count; ++i) {
        send_(-groups[i], signal);
    }
}
