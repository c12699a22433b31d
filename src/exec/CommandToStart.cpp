#include "exec/CommandToStart.h"

#include "exec/Job.h"
#include "platform/Platform.h"
#include "text/ErrorReport.h"

#include <cstdio>

std::optional<CommandToStart> commandToStart(Platform& platform, const Job& job,
                                             const JobCommand& command, bool keep) {
    CommandToStart ready;
    if (!command.opensInlineFile()) {
        ready.line = command.line;
        return ready;
    }
    ready.inlineFile = platform.createTemporaryFile(TemporaryFile::Content::Text);
    TemporaryFile& file = ready.inlineFile;
    if (!file.created()) {
        reportError(message::kUnableToCreateInline, file.name().c_str());
        return std::nullopt;
    }
    if (keep) {
        file.keep();
    }
    for (const std::string& line : command.inlineLines) {
        std::fwrite(line.data(), 1, line.size(), file.stream());
        std::fputc('\n', file.stream());
    }
    if (!command.inlineTerminated) {
        // The rule's lines ended before the terminator: the command would see
        // the rest of the makefile as its file, so it is not run.
        file.closeStream();
        reportError(message::kInlineNotTerminated, job.target.c_str(), command.line.c_str());
        return std::nullopt;
    }
    if (!file.closeStream()) {
        reportError(message::kUnableToWriteInline, file.name().c_str());
        return std::nullopt;
    }
    ready.line = command.line.substr(0, command.inlineAt) + file.name();
    return ready;
}
