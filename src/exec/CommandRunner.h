#pragma once

#include <string>

class Platform;
class Rule;
class TemporaryFile;

// Runs the command lines of a rule that found its target out of date: special
// macros, inline files, the "-" and "@" prefixes, the echo, the exit code into
// the build status, and after each command the removal of its inline file and
// the sweep of temporary files.
class CommandRunner {
  public:
    explicit CommandRunner(Platform& platform) : platform_(platform) {}

    void run(const Rule& rule, const std::string& target);

  private:
    // Runs one command; its inline file (if it has one, else an empty file
    // object) is released after it.
    void runCommand(const std::string& pending, TemporaryFile& inlineFile);

    Platform& platform_;
};
