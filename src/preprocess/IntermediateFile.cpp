#include "preprocess/IntermediateFile.h"

#include <algorithm>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the text from the start is the name followed by ",", a line number and "|".
bool isTaggedWith(const std::string& text, const std::string& name) {
    if (text.compare(0, name.size(), name) != 0) {
        return false;
    }
    std::size_t i = name.size();
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

void IntermediateFile::writeRecord(const std::string& fileName, long lineNumber,
                                   const std::string& text) {
    // A name without a comma ends at the first comma of its records already.
    if (fileName != lastName_) {
        lastName_ = fileName;
        if (fileName.find(',') != std::string::npos &&
            std::find(namesWithComma_.begin(), namesWithComma_.end(), fileName) ==
                namesWithComma_.end()) {
            namesWithComma_.push_back(fileName);
        }
    }
    std::fwrite(fileName.data(), 1, fileName.size(), stream_);
    std::fprintf(stream_, ",%ld|", lineNumber);
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fputc('\n', stream_);
}

bool IntermediateFile::finish() {
    if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) {
        return false;
    }
    std::rewind(stream_);
    return true;
}

void IntermediateFile::list(std::FILE* out) const {
    char buffer[1 << 16];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream_)) > 0) {
        std::fwrite(buffer, 1, got, out);
    }
}

IntermediateFile::Records::Records(const IntermediateFile& file)
    : reader_(file.stream_), namesWithComma_(file.namesWithComma_) {
    std::stable_sort(
        namesWithComma_.begin(), namesWithComma_.end(),
        [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::size_t IntermediateFile::Records::endOfName(const std::string& record) const {
    for (const std::string& name : namesWithComma_) {
        if (isTaggedWith(record, name)) {
            return name.size();
        }
    }
    return record.find(',');
}

std::string* IntermediateFile::Records::next() {
    std::string* record = reader_.readRawLine();
    if (record == nullptr) {
        return nullptr;
    }
    // The tag ends at the first "|" after the comma that ends the name.
    const std::size_t comma = endOfName(*record);
    if (comma != std::string::npos) {
        fileName_.assign(*record, 0, comma);
        const std::size_t bar = record->find('|', comma + 1);
        if (bar != std::string::npos) {
            lineText_.assign(*record, comma + 1, bar - comma - 1);
            record->erase(0, bar + 1);
        } else {
            lineText_.assign(*record, comma + 1, std::string::npos);
            record->clear();
        }
    }
    return record;
}
