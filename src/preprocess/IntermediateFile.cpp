#include "preprocess/IntermediateFile.h"

#include <algorithm>

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
