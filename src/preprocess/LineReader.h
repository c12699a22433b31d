#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Reads the logical lines of a makefile from an open file: a trailing
// backslash joins the next physical line. The returned line lives in the
// reader's buffer until the next read and may be changed in place. A makefile
// that begins with a byte-order mark is UTF-8: its lines come as this run's
// names and command lines spell them (narrowFromUtf8).
class LineReader {
  public:
    explicit LineReader(std::FILE* file);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next logical line, or nullptr at end of file.
    std::string* readLogicalLine();
    // The next physical line as it was written, without its line end and
    // trailing blanks: never joined, converted or cut at a Ctrl-Z. For files
    // the tool wrote itself.
    std::string* readRawLine();

    // The logical lines returned so far.
    long lineNumber() const { return lineNumber_; }
    // Whether the last line, read as UTF-8, held characters that this run's
    // names cannot spell; they stand as "?".
    bool lostCharacters() const { return lost_; }

  private:
    // Appends one physical line (through its line feed) to line_; false at end of file.
    bool readPhysicalLine();
    bool fillChunk();
    void findZero();
    // Drops the line end and the blanks before it, from `start` on.
    void trimEnd(std::size_t start);

    std::FILE* file_;
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
};

bool isCommentLine(const std::string& line);
bool isDirectiveLine(const std::string& line);
