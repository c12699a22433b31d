#include "exec/SequentialExecutor.h"

#include "exec/File.h"
#include "exec/Job.h"
#include "exec/Platform.h"
#include "exec/RebuiltCommand.h"
#include "text/ErrorReport.h"
#include "text/Note.h"

#include <cstdio>

namespace {

void writeLine(std::FILE* file, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
}

// Closes the file; false when anything written to it was lost.
bool closeFile(File& file) {
    const bool written = std::ferror(file.get()) == 0;
    return std::fclose(file.release()) == 0 && written;
}

} // namespace

JobId SequentialExecutor::submit(Job job) {
    run(job);
    return submitted_++;
}

void SequentialExecutor::run(const Job& job) {
    if (!job.reason.empty() && status_ == 0) {
        note("%s", job.reason.c_str());
    }
    std::string pending;
    for (const JobCommand& command : job.commands) {
        if (status_ != 0) {
            return;
        }
        if (!prepare(job, command, pending)) {
            return;
        }
        runCommand(job, pending);
    }
}

bool SequentialExecutor::prepare(const Job& job, const JobCommand& command, std::string& pending) {
    if (!command.opensInlineFile()) {
        pending = command.line;
        return true;
    }
    const std::string name = platform_.makeTempName();
    // With every name taken the last one is used anew: a link there is
    // replaced, not written through.
    platform_.removeFile(name);
    File file(std::fopen(name.c_str(), "w+"));
    if (!file) {
        status_ = reportError(message::kUnableToCreateInline, name.c_str());
        return false;
    }
    for (const std::string& line : command.inlineLines) {
        writeLine(file.get(), line);
    }
    if (!command.inlineTerminated) {
        // The rule's lines ended before the terminator: the command would see
        // the rest of the makefile as its file, so it is not run.
        closeFile(file);
        status_ =
            reportError(message::kInlineNotTerminated, job.target.c_str(), command.line.c_str());
        return false;
    }
    if (!closeFile(file)) {
        status_ = reportError(message::kUnableToWriteInline, name.c_str());
        return false;
    }
    pending.assign(command.line, 0, command.inlineAt);
    pending += name;
    return true;
}

void SequentialExecutor::runCommand(const Job& job, const std::string& pending) {
    const RebuiltCommand command = rebuildCommand(pending);
    if (command.echo) {
        writeLine(stdout, command.text);
    }
    status_ = static_cast<int>(platform_.runProcess(command.text));
    if (status_ != 0) {
        if (command.stopOnError) {
            note("%s: command failed with status %d", job.target.c_str(), status_);
        } else {
            status_ = 0;
        }
    }
    if (!keepTemporaries_) {
        platform_.sweepTemporaries();
    }
}
