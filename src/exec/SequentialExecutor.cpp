#include "exec/SequentialExecutor.h"

#include "exec/CommandBlock.h"
#include "exec/CommandToStart.h"
#include "exec/Job.h"
#include "exec/PartlyMade.h"
#include "exec/RebuiltCommand.h"
#include "platform/Interrupts.h"
#include "platform/Platform.h"

Submitted SequentialExecutor::submit(Job job) {
    run(job);
    return {submitted_++, status_};
}

void SequentialExecutor::run(const Job& job) {
    const CommandBlock block(job);
    if (status_ == 0) {
        block.explain();
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
        runCommand(block, job, ready->line);
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

void SequentialExecutor::runCommand(const CommandBlock& block, const Job& job,
                                    const std::string& pending) {
    const RebuiltCommand command = rebuildCommand(pending);
    if (command.echo) {
        block.echo(command.text);
    }
    status_ = static_cast<int>(platform_.runProcess(command.text));
    if (status_ != 0) {
        if (command.stopOnError && !interruptPending()) {
            block.failed(status_);
            setBackFailed(platform_, job);
        } else if (!command.stopOnError) {
            status_ = 0;
        }
    }
}
