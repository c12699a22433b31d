#include "exec/SequentialExecutor.h"

#include "exec/CommandToStart.h"
#include "exec/Job.h"
#include "exec/PartlyMade.h"
#include "exec/RebuiltCommand.h"
#include "platform/Interrupts.h"
#include "platform/Platform.h"
#include "text/Note.h"

#include <cstdio>

namespace {

void writeLine(std::FILE* file, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
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
    for (const JobCommand& command : job.commands) {
        if (status_ != 0) {
            return;
        }
        std::optional<CommandToStart> ready =
            commandToStart(platform_, job, command, keepTemporaries_);
        if (!ready) {
            status_ = 1;
            return;
        }
        runCommand(job, ready->line);
        // The command has ended: its inline file goes, unless it is kept.
        ready->inlineFile.release();
        if (interruptPending()) {
            removePartlyMade(platform_, job);
            endIfInterrupted();
        }
        if (!keepTemporaries_) {
            platform_.sweepTemporaries();
        }
    }
}

void SequentialExecutor::runCommand(const Job& job, const std::string& pending) {
    const RebuiltCommand command = rebuildCommand(pending);
    if (command.echo) {
        writeLine(stdout, command.text);
    }
    status_ = static_cast<int>(platform_.runProcess(command.text));
    if (status_ != 0) {
        if (command.stopOnError && !interruptPending()) {
            note("%s: command failed with status %d", job.target.c_str(), status_);
            setBackFailed(platform_, job);
        } else if (!command.stopOnError) {
            status_ = 0;
        }
    }
}
