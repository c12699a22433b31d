#include "preprocess/LineReader.h"

#include "platform/NarrowText.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kChunkSize = 1 << 16;
// Windows reads a text file up to its first Ctrl-Z (copy a+b c writes one at
// the end); other systems know no such mark.
#ifdef _WIN32
constexpr bool kTextEndsAtControlZ = true;
#else
constexpr bool kTextEndsAtControlZ = false;
#endif
constexpr char kControlZ = '\x1a';
constexpr char kByteOrderMark[] = "\xef\xbb\xbf";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the text from `start` is the name followed by ",", a line number and "|".
bool isTaggedWith(const std::string& text, std::size_t start, const std::string& name) {
    if (text.compare(start, name.size(), name) != 0) {
        return false;
    }
    std::size_t i = start + name.size();
    if (i >= text.size() || text[i] != ',') {
        return false;
    }
    ++i;
    if (i < text.size() && text[i] == '-') {
        ++i;
    }
    const std::size_t digits = i;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
    }
    return i > digits && i < text.size() && text[i] == '|';
}

} // namespace

LineReader::LineReader(std::FILE* file, std::vector<std::string> namesWithComma)
    : file_(file), namesWithComma_(std::move(namesWithComma)), chunk_(kChunkSize) {
    std::stable_sort(
        namesWithComma_.begin(), namesWithComma_.end(),
        [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::size_t LineReader::endOfRecordName(std::size_t start) const {
    for (const std::string& name : namesWithComma_) {
        if (isTaggedWith(line_, start, name)) {
            return start + name.size();
        }
    }
    return line_.find(',', start);
}

bool LineReader::fillChunk() {
    chunkPosition_ = 0;
    chunkEnd_ = textEnded_ ? 0 : std::fread(chunk_.data(), 1, chunk_.size(), file_);
    if (kTextEndsAtControlZ && plain_) {
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

std::string* LineReader::readLogicalLine(bool plain) {
    plain_ = plain;
    line_.clear();
    std::size_t append = 0;
    for (;;) {
        if (!readPhysicalLine()) {
            return nullptr;
        }
        // Editors on Windows begin UTF-8 files with a byte-order mark; it is
        // no part of the first line, and says how to read the others.
        if (plain && atStart_ && line_.compare(0, 3, kByteOrderMark) == 0) {
            line_.erase(0, 3);
            utf8_ = true;
        }
        atStart_ = false;
        if (!plain) {
            // The tag ends at the first "|" after the comma that ends the name.
            const std::size_t comma = endOfRecordName(append);
            if (comma != std::string::npos) {
                recordFile_.assign(line_, append, comma - append);
                const std::size_t bar = line_.find('|', comma + 1);
                if (bar != std::string::npos) {
                    recordLine_.assign(line_, comma + 1, bar - comma - 1);
                    line_.erase(append, bar + 1 - append);
                } else {
                    recordLine_.assign(line_, comma + 1, std::string::npos);
                    line_.resize(append);
                }
            }
        }
        std::size_t end = line_.size();
        while (end > append && (line_[end - 1] == '\r' || line_[end - 1] == '\n')) {
            --end;
        }
        while (end > append && (line_[end - 1] == ' ' || line_[end - 1] == '\t')) {
            --end;
        }
        line_.resize(end);
        // Records are read back exactly as written: only makefile lines continue.
        if (plain && !line_.empty() && line_.back() == '\\') {
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
