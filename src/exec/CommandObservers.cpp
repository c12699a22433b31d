#include "exec/CommandObservers.h"

void CommandObservers::writing() {
    for (CommandObserver* observer : observers_) {
        observer->writing();
    }
}

void CommandObservers::started(std::uint64_t id, const std::string& target, const std::string& text,
                               bool direct) {
    for (CommandObserver* observer : observers_) {
        observer->started(id, target, text, direct);
    }
}

void CommandObservers::ended(std::uint64_t id, const std::string& target, const std::string& text,
                             int status) {
    for (CommandObserver* observer : observers_) {
        observer->ended(id, target, text, status);
    }
}

void CommandObservers::waiting() {
    for (CommandObserver* observer : observers_) {
        observer->waiting();
    }
}
