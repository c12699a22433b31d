#pragma once

#include <cstdio>
#include <memory>
#include <string>

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// An open stream that is closed when it goes out of scope.
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens a makefile or include file for reading. Some systems open a directory
// as an empty file; it is never one of those, so it is refused.
File openForReading(const std::string& name);
