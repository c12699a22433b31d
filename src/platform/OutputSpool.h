#pragma once

#include "platform/TemporaryFile.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

// What a command writes to one of its streams, kept until it is written out
// in one block. Up to a limit it stays in memory; beyond it, it moves to a
// temporary file of the run, so that a command's large output does not grow
// the tool with it. Where no such file can be had, it all stays in memory.
class OutputSpool {
  public:
    static constexpr std::size_t kMemoryLimit = std::size_t{4} << 20;

    OutputSpool() = default;
    // A file, when one is needed, goes to `directory` (empty for the current
    // one, else ending in a separator).
    explicit OutputSpool(std::size_t memoryLimit, std::string directory = {})
        : limit_(memoryLimit), directory_(std::move(directory)) {}
    // Text that is whole already, such as a message in place of a command's
    // output: implicit, so that it reads as the string it holds.
    OutputSpool(std::string text) : limit_(kMemoryLimit), memory_(std::move(text)) {}

    void append(const char* data, std::size_t size);
    bool empty() const { return filed_ == 0 && memory_.empty(); }
    // Writes all of it to the stream, in order, and removes its file.
    void writeTo(std::FILE* stream);
    // All of it as one string; removes its file.
    std::string text();

  private:
    void spillOrStay();
    // Moves what memory holds to the file, taking one first; false when the
    // file cannot be had or written.
    bool spill();
    // The bytes the file holds, to the stream or string, then lets go of it.
    template <typename Sink> void drainFile(Sink sink);

    std::size_t limit_ = kMemoryLimit;
    std::string directory_;
    std::string memory_; // what follows the file's bytes
    TemporaryFile file_;
    std::uint64_t filed_ = 0; // bytes written to the file for certain
    bool fileFailed_ = false;
};
