#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// What one run of tarvo.exe gave: its standard output bytes and exit code.
struct RunResult {
    std::string output;
    std::string errors; // standard error, kept apart for diagnostics
    unsigned long status = 0;
};

// Each test gets a fresh work directory in which tarvo.exe runs with a small,
// fixed environment; the test's own extra variables come on top.
class WindowsEndToEnd : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Runs tarvo.exe with the arguments as raw command-line text after the
    // program name, which is passed quoted.
    RunResult run(const std::string& arguments, const std::vector<std::string>& environment = {});
    // Runs a whole raw command line, program name included.
    RunResult runCommandLine(const std::string& commandLine,
                             const std::vector<std::string>& environment = {});
    // Runs tarvo.exe with standard error going to the file of standard
    // output, as "2>&1" into a file does; the result's errors stay empty.
    RunResult runErrorsIntoOutput(const std::string& arguments);

    std::string path(const std::string& relative) const;
    void write(const std::string& relative, const std::string& contents);
    std::string read(const std::string& relative) const;
    bool exists(const std::string& relative) const;
    void makeDirectory(const std::string& relative);
    // Sets the last-write time to a point in 100-ns units since 1601-01-01 UTC.
    void setWriteTicks(const std::string& relative, unsigned long long ticks);
    // Copies the probe program (it prints its raw command line) into the work tree.
    void installProbe(const std::string& relative);
    // The names in the work directory that match "tarvo*.$$$", sorted.
    std::vector<std::string> temporaries() const;

    static std::string tarvoPath();

  private:
    RunResult start(const std::string& commandLine, const std::vector<std::string>& environment,
                    bool errorsIntoOutput);

    std::string root_;
    std::string work_;
};

// The text with every "\n" turned into "\r\n", as a text-mode stream writes it.
std::string crlf(const std::string& text);

// 2020-01-01 00:00 UTC in 100-ns units since 1601, and one second.
constexpr unsigned long long kTicks2020 = 132223104000000000ULL;
constexpr unsigned long long kTicksPerSecond = 10000000ULL;
