#include "exec/CommandRun.h"

#include "exec/CommandObserver.h"
#include "exec/Job.h"
#include "platform/CommandLimits.h"
#include "platform/Interrupts.h"
#include "platform/OutputSpool.h"
#include "platform/Platform.h"
#include "text/Diagnostics.h"
#include "text/ErrorReport.h"
#include "text/Words.h"

#include <cstdint>
#include <cstdio>

namespace {

void writeLine(std::FILE* file, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
}

// What Windows users know a status with the top bit set by: an NTSTATUS code,
// written in hexadecimal, and for the common ones, its name.
std::string windowsStatus(int status) {
    const auto code = static_cast<std::uint32_t>(status);
    if ((code & 0x80000000u) == 0) {
        return std::string();
    }
    struct Name {
        std::uint32_t code;
        const char* name;
    };
    static const Name kNames[] = {
        {0x80000003u, "breakpoint"},
        {0xC0000005u, "access violation"},
        {0xC000001Du, "illegal instruction"},
        {0xC000007Bu, "bad image format"},
        {0xC0000094u, "integer division by zero"},
        {0xC00000FDu, "stack overflow"},
        {0xC0000135u, "DLL not found"},
        {0xC0000139u, "entry point not found"},
        {0xC000013Au, "Ctrl-C"},
        {0xC0000142u, "DLL initialization failed"},
        {0xC0000374u, "heap corruption"},
        {0xC0000409u, "stack buffer overrun"},
        {0xC0000417u, "invalid parameter"},
    };
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
    for (const Name& name : kNames) {
        if (name.code == code) {
            return std::string(" (") + hex + ", " + name.name + ")";
        }
    }
    return std::string(" (") + hex + ")";
}

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

// Writes the inline file of the command; false after an error, which has been
// reported.
bool writeInlineFile(TemporaryFile& file, const Job& job, const JobCommand& command,
                     Diagnostics& diagnostics) {
    if (!file.created()) {
        diagnostics.error(message::kUnableToCreateInline, file.name().c_str());
        return false;
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
        return false;
    }
    if (!file.closeStream()) {
        diagnostics.error(message::kUnableToWriteInline, file.name().c_str());
        return false;
    }
    return true;
}

// A directory, a sub-build's say, is no file its commands write: it is
// never half made, nor its time a sign that it is up to date.
bool isMadeFile(Platform& files, const Job& job) {
    const EntryKind kind = files.entryKind(job.target);
    return kind == EntryKind::File || kind == EntryKind::Link;
}

} // namespace

RebuiltCommand rebuildCommand(std::string_view pending) {
    RebuiltCommand command;
    std::size_t i = 0;
    for (; i < pending.size(); ++i) {
        if (pending[i] == '-') {
            command.stopOnError = false;
        } else if (pending[i] == '@') {
            command.echo = false;
        } else {
            break;
        }
    }
    command.text.reserve(pending.size() - i + 1);
    forEachWord(pending.substr(i), [&command](std::string_view word) {
        command.text += word;
        command.text += ' ';
    });
    return command;
}

void explainJob(const Job& job, Diagnostics& diagnostics) {
    if (!job.reason.empty()) {
        diagnostics.note("%s", job.reason.c_str());
    }
}

void echoCommand(std::string_view text) {
    writeLine(stdout, text);
}

void echoInlineLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (!line.empty()) {
            std::fputs("    ", stdout);
        }
        writeLine(stdout, line);
    }
}

void CommandRun::showBlock(const Job& job, bool first, OutputSpool& output, OutputSpool& errors,
                           Diagnostics& diagnostics) const {
    if (first) {
        explainJob(job, diagnostics);
    }
    if (command_.echo) {
        echoCommand(command_.text);
    }
    output.writeTo(stdout);
    std::fflush(stdout);
    errors.writeTo(stderr);
    // The C runtime may hold standard error back when it goes to a file; the
    // block's errors belong beside its output, as in a run of one job.
    std::fflush(stderr);
}

CommandRunner::CommandRunner(Platform& platform, bool keepTemporaries)
    : platform_(platform), keepTemporaries_(keepTemporaries) {}

CommandRunner::~CommandRunner() = default;

std::optional<CommandRun> CommandRunner::prepare(const Job& job, const JobCommand& command,
                                                 Diagnostics& diagnostics) {
    CommandRun ready;
    if (!command.opensInlineFile()) {
        if (!fitsCommandLimits(job, command.line, diagnostics)) {
            return std::nullopt;
        }
        ready.command_ = rebuildCommand(command.line);
        return ready;
    }
    ready.inlineFile_ = platform_.createTemporaryFile(TemporaryFile::Content::Text);
    if (keepTemporaries_ && ready.inlineFile_.created()) {
        ready.inlineFile_.keep();
    }
    if (!writeInlineFile(ready.inlineFile_, job, command, diagnostics)) {
        return std::nullopt;
    }
    const std::string line = command.line.substr(0, command.inlineAt) + ready.inlineFile_.name();
    if (!fitsCommandLimits(job, line, diagnostics)) {
        return std::nullopt;
    }
    ready.command_ = rebuildCommand(line);
    return ready;
}

std::uint32_t CommandRunner::run(CommandRun& command, const Job& job, CommandObserver* observer) {
    command.id_ = runs_++;
    if (observer != nullptr) {
        observer->started(command.id_, job.target, command.text(), true);
    }
    return platform_.runProcess(command.text(), programs_);
}

void CommandRunner::start(CommandRun& command, const Job& job, CommandObserver* observer) {
    command.id_ = platform_.startProcess(command.text(), programs_);
    if (observer != nullptr) {
        observer->started(command.id_, job.target, command.text(), false);
    }
}

int CommandRunner::end(CommandRun& command, const Job& job, std::uint32_t exitCode,
                       CommandObserver* observer, Diagnostics& diagnostics) {
    const int status = command.stopsOnError() ? static_cast<int>(exitCode) : 0;
    // An interrupted command fails as a rule; the interrupt is what the run
    // ends by, and its target goes instead.
    if (status != 0 && !interruptPending()) {
        diagnostics.note("%s: command failed with status %d%s", job.target.c_str(), status,
                         windowsStatus(status).c_str());
        setBackFailed(job, diagnostics);
    }
    if (observer != nullptr) {
        observer->ended(command.id_, job.target, command.text(), status);
    }
    command.inlineFile_.release();
    if (!keepTemporaries_) {
        platform_.sweepTemporaries();
    }
    return status;
}

void CommandRunner::removePartlyMade(const Job& job, Diagnostics& diagnostics) {
    if (!isMadeFile(platform_, job) || platform_.fileTime(job.target) == job.targetTime) {
        return;
    }
    if (platform_.removeFile(job.target)) {
        diagnostics.note("%s: removed, since its commands were interrupted", job.target.c_str());
    } else {
        diagnostics.note("%s: could not be removed, though its commands were interrupted",
                         job.target.c_str());
    }
}

void CommandRunner::setBackFailed(const Job& job, Diagnostics& diagnostics) {
    if (!isMadeFile(platform_, job)) {
        return;
    }
    const FileTime now = platform_.fileTime(job.target);
    if (now == 0 || now == job.targetTime) {
        return;
    }
    const FileTime before = job.targetTime != 0 ? job.targetTime : kOldestFileTime;
    if (platform_.setFileTime(job.target, before)) {
        diagnostics.note("%s: its time is set back, since its commands failed", job.target.c_str());
    } else {
        diagnostics.note("%s: its time could not be set back after its commands failed",
                         job.target.c_str());
    }
}
