#include "exec/CommandBlock.h"

#include "exec/Job.h"
#include "platform/OutputSpool.h"
#include "text/Note.h"

#include <cstdio>

namespace {

void writeLine(std::FILE* file, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
}

} // namespace

void CommandBlock::explain() const {
    if (!job_.reason.empty()) {
        note("%s", job_.reason.c_str());
    }
}

void CommandBlock::echo(std::string_view line) const {
    writeLine(stdout, line);
}

void CommandBlock::echoInlineLines(const std::vector<std::string>& lines) const {
    for (const std::string& line : lines) {
        if (!line.empty()) {
            std::fputs("    ", stdout);
        }
        writeLine(stdout, line);
    }
}

void CommandBlock::output(OutputSpool& output, OutputSpool& errors) const {
    output.writeTo(stdout);
    std::fflush(stdout);
    errors.writeTo(stderr);
    // The C runtime may hold standard error back when it goes to a file; the
    // block's errors belong beside its output, as in a run of one job.
    std::fflush(stderr);
}

void CommandBlock::failed(int status) const {
    note("%s: command failed with status %d", job_.target.c_str(), status);
}
