#include "exec/InlineFile.h"

#include "exec/File.h"
#include "exec/Job.h"
#include "exec/Platform.h"
#include "text/ErrorReport.h"

#include <cstdio>

namespace {

// Closes the file; false when anything written to it was lost.
bool closeFile(File& file) {
    const bool written = std::ferror(file.get()) == 0;
    return std::fclose(file.release()) == 0 && written;
}

} // namespace

std::optional<std::string> commandToStart(Platform& platform, const Job& job,
                                          const JobCommand& command) {
    if (!command.opensInlineFile()) {
        return command.line;
    }
    const std::string name = platform.makeTempName();
    // With every name taken the last one is used anew: a link there is
    // replaced, not written through.
    platform.removeFile(name);
    File file(std::fopen(name.c_str(), "w+"));
    if (!file) {
        reportError(message::kUnableToCreateInline, name.c_str());
        return std::nullopt;
    }
    for (const std::string& line : command.inlineLines) {
        std::fwrite(line.data(), 1, line.size(), file.get());
        std::fputc('\n', file.get());
    }
    if (!command.inlineTerminated) {
        // The rule's lines ended before the terminator: the command would see
        // the rest of the makefile as its file, so it is not run.
        closeFile(file);
        reportError(message::kInlineNotTerminated, job.target.c_str(), command.line.c_str());
        return std::nullopt;
    }
    if (!closeFile(file)) {
        reportError(message::kUnableToWriteInline, name.c_str());
        return std::nullopt;
    }
    return command.line.substr(0, command.inlineAt) + name;
}
