#include "exec/JobSlots.h"

#include "platform/Jobserver.h"

bool JobSlots::mayStart(std::size_t running) {
    if (running >= limit_) {
        return false;
    }
    if (running == 0 || jobserver_ == nullptr || held_ >= running) {
        return true;
    }
    if (!jobserver_->tryAcquire()) {
        return false;
    }
    ++held_;
    return true;
}

void JobSlots::settle(std::size_t running) {
    const std::size_t needed = running > 0 ? running - 1 : 0;
    for (; held_ > needed; --held_) {
        jobserver_->release();
    }
}

std::intptr_t JobSlots::readiness(std::size_t running) const {
    if (jobserver_ == nullptr || running == 0 || running >= limit_) {
        return -1;
    }
    return jobserver_->readiness();
}
