#pragma once

#include <string>
#include <string_view>
#include <vector>

class Diagnostics;
class OutputSpool;
struct Job;

// What one command of a job shows, the same whichever executor runs it: the
// job's explanation before its first command, the echo of the command line,
// the command's output, and the note of its failure. An executor that runs
// one command at a time writes the parts as they happen; one that runs
// commands side by side writes them together when the command ends, so that
// the output of commands running at once never mixes.
class CommandBlock {
  public:
    CommandBlock(const Job& job, Diagnostics& diagnostics) : job_(job), diagnostics_(diagnostics) {}

    // Says why the job's target is out of date, when that is to be explained.
    void explain() const;
    // The command line as it is started, on standard output.
    void echo(std::string_view line) const;
    // The lines of an inline file, indented below its command as a dry run shows them.
    void echoInlineLines(const std::vector<std::string>& lines) const;
    // What the command wrote, each to the stream it was written to.
    void output(OutputSpool& output, OutputSpool& errors) const;
    // Says that the command failed and ended the job.
    void failed(int status) const;

  private:
    const Job& job_;
    Diagnostics& diagnostics_;
};
