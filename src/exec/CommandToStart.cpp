#include "exec/CommandToStart.h"

#include "exec/Job.h"
#include "exec/RebuiltCommand.h"
#include "platform/CommandLimits.h"
#include "platform/Platform.h"
#include "text/Diagnostics.h"
#include "text/ErrorReport.h"

#include <cstdio>

namespace {

// A line that the system would refuse, or cmd cut or run as nothing, is not
// started. It is measured as it would start, rebuilt, which makes it at most
// one byte longer.
bool fitsCommandLimits(const Job& job, const std::string& line, Diagnostics& diagnostics) {
    if (line.size() < fittingCommandLength()) {
        return true;
    }
    const std::optional<ExceededLimit> exceeded = exceededCommandLimit(rebuildCommand(line).text);
    if (!exceeded) {
        return true;
    }
    diagnostics.error(exceeded->interpreter ? message::kTooLongForInterpreter
                                            : message::kTooLongForSystem,
                      job.target.c_str(), static_cast<unsigned long>(exceeded->length),
                      static_cast<unsigned long>(exceeded->limit));
    return false;
}

} // namespace

std::optional<CommandToStart> commandToStart(Platform& platform, const Job& job,
                                             const JobCommand& command, bool keep,
                                             Diagnostics& diagnostics) {
    CommandToStart ready;
    if (!command.opensInlineFile()) {
        if (!fitsCommandLimits(job, command.line, diagnostics)) {
            return std::nullopt;
        }
        ready.line = command.line;
        return ready;
    }
    ready.inlineFile = platform.createTemporaryFile(TemporaryFile::Content::Text);
    TemporaryFile& file = ready.inlineFile;
    if (!file.created()) {
        diagnostics.error(message::kUnableToCreateInline, file.name().c_str());
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
        diagnostics.error(message::kInlineNotTerminated, job.target.c_str(), command.line.c_str());
        return std::nullopt;
    }
    if (!file.closeStream()) {
        diagnostics.error(message::kUnableToWriteInline, file.name().c_str());
        return std::nullopt;
    }
    ready.line = command.line.substr(0, command.inlineAt) + file.name();
    if (!fitsCommandLimits(job, ready.line, diagnostics)) {
        return std::nullopt;
    }
    return ready;
}
