#pragma once

#include "preprocess/LineReader.h"

#include <cstdio>
#include <string>
#include <vector>

// The file between the two passes: one record per line that pass 1 keeps,
// "file,line|text", read back by pass 2. The record format lives here only.
class IntermediateFile {
  public:
    // Over a stream open for update, which the caller owns.
    explicit IntermediateFile(std::FILE* stream) : stream_(stream) {}
    IntermediateFile(const IntermediateFile&) = delete;
    IntermediateFile& operator=(const IntermediateFile&) = delete;

    void writeRecord(const std::string& fileName, long lineNumber, const std::string& text);
    // Ends the writing and turns to the first record. False when a record
    // could not be written: a full disk must not pass for a shorter makefile.
    bool finish();
    // Copies the records, as they stand, to the stream (-p).
    void list(std::FILE* out) const;

    // Yields the records from the first, in order.
    class Records {
      public:
        explicit Records(const IntermediateFile& file);

        // The next record's text, or nullptr after the last; it may be changed
        // in place and lives until the next call.
        std::string* next();
        const std::string& fileName() const { return fileName_; }
        // The line number as the record spells it.
        const std::string& lineText() const { return lineText_; }

      private:
        // Where the file name of the record ends: at its first comma, unless
        // it begins with a name with a comma followed by ",", a line number
        // and "|" (the longest such name wins).
        std::size_t endOfName(const std::string& record) const;

        LineReader reader_;
        std::vector<std::string> namesWithComma_; // longest first
        std::string fileName_;
        std::string lineText_;
    };

  private:
    std::FILE* stream_;
    // The distinct file names with a comma that records were written for:
    // their records cannot be split at the first comma.
    std::vector<std::string> namesWithComma_;
    // The name of the last record, which most records share.
    std::string lastName_;
};
