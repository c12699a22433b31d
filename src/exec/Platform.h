#pragma once

#include "exec/TemporaryFile.h"

#include <cstdint>
#include <optional>
#include <string>

// The tool's whole contact with the operating system besides standard output
// and buffered file streams. A real implementation exists per platform; tests
// use a fake with a virtual clock and a record of the commands started.
class Platform {
  public:
    virtual ~Platform() = default;

    // Runs one command line and returns its exit code. Standard output is
    // flushed before the child starts.
    virtual std::uint32_t runProcess(const std::string& commandLine) = 0;
    // The last-write time in units of 2^26 x 100 ns since 1601-01-01 UTC, low
    // 32 bits; 0 when nothing matches. The path may hold * and ? wildcards.
    virtual std::uint32_t fileTime(const std::string& path) = 0;
    // The bare name of the first entry matching a path or wildcard pattern.
    virtual std::optional<std::string> findFirstMatch(const std::string& pattern) = 0;
    virtual void removeFile(const std::string& path) = 0;
    // A fresh temporary file "tarvoN.$$$" (N from 0 to 999) in the current
    // directory, held by the run until it is released.
    virtual TemporaryFile createTemporaryFile(TemporaryFile::Content content) = 0;
    // Removes every entry of the current directory matching "tarvo*.$$$",
    // except the files that a live run holds.
    virtual void sweepTemporaries() = 0;
};

// The platform the tool runs on.
Platform& systemPlatform();
