#include "platform/OutputSpool.h"

#include <utility>

void OutputSpool::append(const char* data, std::size_t size) {
    // Moved before it outgrows the limit, so that memory never holds more.
    if (memory_.size() + size > limit_ && !memory_.empty()) {
        spillOrStay();
    }
    memory_.append(data, size);
    if (memory_.size() > limit_) {
        spillOrStay();
    }
}

void OutputSpool::spillOrStay() {
    // After a failure, all the rest follows in memory what the file holds.
    if (!fileFailed_ && !spill()) {
        fileFailed_ = true;
    }
}

bool OutputSpool::spill() {
    if (!file_.created()) {
        file_ = TemporaryFile::create(directory_, TemporaryFile::Content::Binary);
        if (!file_.created()) {
            return false;
        }
    }
    std::FILE* const stream = file_.stream();
    if (std::fwrite(memory_.data(), 1, memory_.size(), stream) != memory_.size() ||
        std::fflush(stream) != 0) {
        return false;
    }
    filed_ += memory_.size();
    memory_.clear(); // its room serves the next part
    return true;
}

template <typename Sink> void OutputSpool::drainFile(Sink sink) {
    std::FILE* const stream = file_.stream();
    if (stream != nullptr && std::fseek(stream, 0, SEEK_SET) == 0) {
        char buffer[1 << 16];
        std::uint64_t left = filed_;
        while (left > 0) {
            const std::size_t wanted =
                left < sizeof buffer ? static_cast<std::size_t>(left) : sizeof buffer;
            const std::size_t got = std::fread(buffer, 1, wanted, stream);
            if (got == 0) {
                break;
            }
            sink(buffer, got);
            left -= got;
        }
    }
    file_.release();
    filed_ = 0;
}

void OutputSpool::writeTo(std::FILE* stream) {
    drainFile([stream](const char* data, std::size_t size) { std::fwrite(data, 1, size, stream); });
    std::fwrite(memory_.data(), 1, memory_.size(), stream);
    std::string().swap(memory_);
}

std::string OutputSpool::text() {
    std::string whole;
    drainFile([&whole](const char* data, std::size_t size) { whole.append(data, size); });
    whole += memory_;
    std::string().swap(memory_);
    return whole;
}
