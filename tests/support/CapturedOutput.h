#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

// Sends one of the process's standard streams (stdout or stderr) to an
// anonymous temporary file while the object lives: the tool writes its output
// there, and so do the commands it starts. text() reads back what came so
// far. The stream is restored when the object goes, also when a test ends
// early on a failed assertion.
class CapturedOutput {
  public:
    explicit CapturedOutput(std::FILE* stream) : stream_(stream), file_(std::tmpfile()) {
        if (file_ == nullptr) {
            throw std::runtime_error("no temporary file to capture output in");
        }
        std::fflush(stream_);
        saved_ = duplicate(descriptor(stream_));
        duplicateOnto(descriptor(file_), descriptor(stream_));
    }
    ~CapturedOutput() {
        std::fflush(stream_);
        duplicateOnto(saved_, descriptor(stream_));
        closeDescriptor(saved_);
        std::fclose(file_);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    // Everything written since the capture began.
    std::string text() const {
        std::fflush(stream_);
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
#ifdef _WIN32
    static int descriptor(std::FILE* file) {
        return _fileno(file);
    }
    static int duplicate(int fd) {
        return _dup(fd);
    }
    static void duplicateOnto(int from, int to) {
        _dup2(from, to);
    }
    static void closeDescriptor(int fd) {
        _close(fd);
    }
#else
    static int descriptor(std::FILE* file) {
        return fileno(file);
    }
    static int duplicate(int fd) {
        return dup(fd);
    }
    static void duplicateOnto(int from, int to) {
        dup2(from, to);
    }
    static void closeDescriptor(int fd) {
        close(fd);
    }
#endif

    std::FILE* stream_;
    std::FILE* file_;
    int saved_ = -1;
};
