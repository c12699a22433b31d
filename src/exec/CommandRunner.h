#pragma once

#include <string>

class Platform;
class Rule;

// Runs the command lines of a rule that found its target out of date: special
// macros, inline files, the "-" and "@" prefixes, the echo, the exit code into
// the build status and the sweep of temporary files after each command.
class CommandRunner {
  public:
    explicit CommandRunner(Platform& platform) : platform_(platform) {}

    void run(const Rule& rule, const std::string& target);

  private:
    void runCommand(const std::string& pending);

    Platform& platform_;
};
