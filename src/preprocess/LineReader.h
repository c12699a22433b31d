#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Reads logical lines from an open file: makefile lines (plain), whose trailing
// backslash joins the next physical line, or intermediate-file records, whose
// "file,line|" tag it splits off. The returned line lives in the reader's
// buffer until the next read and may be changed in place. A makefile that
// begins with a byte-order mark is UTF-8: its lines come as this run's names
// and command lines spell them (narrowFromUtf8).
class LineReader {
  public:
    // Records are split at their first comma, unless they begin with one of
    // `namesWithComma` followed by ",", a line number and "|" (the longest
    // such name wins).
    explicit LineReader(std::FILE* file, std::vector<std::string> namesWithComma = {});
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next logical line, or nullptr at end of file.
    std::string* readLogicalLine(bool plain);

    // The logical lines returned so far.
    long lineNumber() const { return lineNumber_; }
    // Whether the last line, read as UTF-8, held characters that this run's
    // names cannot spell; they stand as "?".
    bool lostCharacters() const { return lost_; }
    // From the tag of the last record read: the file name and the line-number text.
    const std::string& recordFile() const { return recordFile_; }
    const std::string& recordLine() const { return recordLine_; }

  private:
    // Appends one physical line (through its line feed) to line_; false at end of file.
    bool readPhysicalLine();
    bool fillChunk();
    void findZero();
    // Where the file name of the record in line_ from `start` ends.
    std::size_t endOfRecordName(std::size_t start) const;

    std::FILE* file_;
    std::vector<std::string> namesWithComma_; // longest first
    std::string line_;
    std::vector<char> chunk_;
    std::size_t chunkPosition_ = 0;
    std::size_t chunkEnd_ = 0;
    // The first zero byte of the chunk at or after chunkPosition_, or chunkEnd_:
    // found once per chunk rather than searched for on every line.
    std::size_t zeroAt_ = 0;
    long lineNumber_ = 0;
    // Whether lines are read as makefile text; a text ends at a Ctrl-Z.
    bool plain_ = false;
    bool textEnded_ = false;
    bool atStart_ = true;
    bool utf8_ = false;
    bool lost_ = false;
    std::string converted_;
    std::string recordFile_;
    std::string recordLine_;
};

bool isCommentLine(const std::string& line);
bool isDirectiveLine(const std::string& line);
