#include "platform/TemporaryFile.h"

#include "platform/Interrupts.h"

#include <utility>

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : name_(std::move(other.name_)), stream_(std::exchange(other.stream_, nullptr)),
      hold_(std::exchange(other.hold_, kNoHold)), kept_(other.kept_) {}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
    if (this != &other) {
        release();
        name_ = std::move(other.name_);
        stream_ = std::exchange(other.stream_, nullptr);
        hold_ = std::exchange(other.hold_, kNoHold);
        kept_ = other.kept_;
    }
    return *this;
}

bool TemporaryFile::closeStream() {
    if (stream_ == nullptr) {
        return true;
    }
    const bool written = std::ferror(stream_) == 0;
    const bool closed = std::fclose(std::exchange(stream_, nullptr)) == 0;
    return written && closed;
}

void TemporaryFile::keep() {
    if (created() && !kept_) {
        dropFileToRemoveOnInterrupt(name_, false);
        kept_ = true;
    }
}

void TemporaryFile::release() {
    closeStream();
    if (!created()) {
        return;
    }
    if (kept_) {
        closeHold(hold_);
    } else {
        dropFileToRemoveOnInterrupt(name_, true);
    }
    hold_ = kNoHold;
}
