#pragma once

#include <cstdio>
#include <string>

// An anonymous temporary file holding the given bytes, rewound for reading.
class TempFile {
  public:
    explicit TempFile(const std::string& content) : file_(std::tmpfile()) {
        std::fwrite(content.data(), 1, content.size(), file_);
        std::rewind(file_);
    }
    ~TempFile() { std::fclose(file_); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    std::FILE* get() const { return file_; }

    // Everything from the start of the file.
    std::string contents() const {
        std::fflush(file_);
        std::rewind(file_);
        std::string text;
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0) {
            text.append(buffer, got);
        }
        return text;
    }

  private:
    std::FILE* file_;
};
