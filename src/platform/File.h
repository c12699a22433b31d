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

// Puts the file `from` in the place of `to`, in one step, also over an
// existing `to`: a reader finds the old file or the new one whole. The empty
// text, or why it could not.
std::string replaceFile(const std::string& from, const std::string& to);

// Writes the stream's buffers through to the disk, so that a file renamed
// after it is whole even if the machine stops; false when it cannot.
bool flushToDisk(std::FILE* file);
