#include "preprocess/LineReader.h"

#include "platform/NarrowText.h"
#include "platform/PlatformConventions.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kChunkSize = 1 << 16;
constexpr char kControlZ = '\x1a';
constexpr char kByteOrderMark[] = "\xef\xbb\xbf";

} // namespace

LineReader::LineReader(std::FILE* file) : file_(file), chunk_(kChunkSize) {}

bool LineReader::fillChunk() {
    chunkPosition_ = 0;
    chunkEnd_ = textEnded_ ? 0 : std::fread(chunk_.data(), 1, chunk_.size(), file_);
    if (plain_ && textEndsAtControlZ()) {
        if (const void* end = std::memchr(chunk_.data(), kControlZ, chunkEnd_)) {
            chunkEnd_ = static_cast<std::size_t>(static_cast<const char*>(end) - chunk_.data());
            textEnded_ = true;
        }
    }
    findZero();
    return chunkEnd_ > 0;
}

void LineReader::findZero() {
    const char* start = chunk_.data() + chunkPosition_;
    const auto* zero =
        static_cast<const char*>(std::memchr(start, '\0', chunkEnd_ - chunkPosition_));
    zeroAt_ = zero != nullptr ? static_cast<std::size_t>(zero - chunk_.data()) : chunkEnd_;
}

bool LineReader::readPhysicalLine() {
    bool readAny = false;
    bool cut = false; // a zero byte ended the piece; the rest of the physical line is dropped
    for (;;) {
        if (chunkPosition_ == chunkEnd_ && !fillChunk()) {
            return readAny;
        }
        readAny = true;
        const char* start = chunk_.data() + chunkPosition_;
        const std::size_t available = chunkEnd_ - chunkPosition_;
        const char* newline = static_cast<const char*>(std::memchr(start, '\n', available));
        const std::size_t span =
            newline != nullptr ? static_cast<std::size_t>(newline - start) + 1 : available;
        if (!cut) {
            if (zeroAt_ < chunkPosition_ + span) {
                line_.append(start, zeroAt_ - chunkPosition_);
                cut = true;
            } else {
                line_.append(start, span);
            }
        }
        chunkPosition_ += span;
        if (zeroAt_ < chunkPosition_) {
            findZero();
        }
        if (newline != nullptr) {
            return true;
        }
    }
}

void LineReader::trimEnd(std::size_t start) {
    std::size_t end = line_.size();
    while (end > start && (line_[end - 1] == '\r' || line_[end - 1] == '\n')) {
        --end;
    }
    while (end > start && (line_[end - 1] == ' ' || line_[end - 1] == '\t')) {
        --end;
    }
    line_.resize(end);
}

std::string* LineReader::readRawLine() {
    plain_ = false;
    line_.clear();
    if (!readPhysicalLine()) {
        return nullptr;
    }
    trimEnd(0);
    ++lineNumber_;
    return &line_;
}

std::string* LineReader::readLogicalLine() {
    plain_ = true;
    line_.clear();
    std::size_t append = 0;
    for (;;) {
        if (!readPhysicalLine()) {
            return nullptr;
        }
        // Editors on Windows begin UTF-8 files with a byte-order mark; it is
        // no part of the first line, and says how to read the others.
        if (atStart_ && line_.compare(0, 3, kByteOrderMark) == 0) {
            line_.erase(0, 3);
            utf8_ = true;
        }
        atStart_ = false;
        trimEnd(append);
        if (!line_.empty() && line_.back() == '\\') {
            line_.pop_back();
            append = line_.size();
            continue;
        }
        ++lineNumber_;
        lost_ = false;
        if (utf8_) {
            lost_ = !narrowFromUtf8(line_, converted_);
            line_.swap(converted_);
        }
        return &line_;
    }
}

bool isCommentLine(const std::string& line) {
    return !line.empty() && line[0] == '#';
}

bool isDirectiveLine(const std::string& line) {
    return !line.empty() && line[0] == '!';
}
