#include "exec/SequentialExecutor.h"

#include "exec/CommandBlock.h"
#include "exec/CommandObserver.h"
#include "exec/CommandToStart.h"
#include "exec/Job.h"
#include "exec/JobOutcomes.h"
#include "exec/PartlyMade.h"
#include "exec/RebuiltCommand.h"
#include "platform/Interrupts.h"
#include "platform/Platform.h"

Submitted SequentialExecutor::submit(Job job) {
    // An interrupt that came while the walk decided ends the run before the job begins.
    endIfInterrupted();
    const JobId id = submitted_++;
    if (outcomes_ != nullptr && outcomes_->blocked(job.after)) {
        outcomes_->skipped(id, job.target);
    } else if ((status_ == 0 || outcomes_ != nullptr) && !run(job) && outcomes_ != nullptr) {
        outcomes_->failed(id, job.target);
    }
    return {id, status_};
}

bool SequentialExecutor::run(const Job& job) {
    const CommandBlock block(job, diagnostics());
    if (!job.reason.empty()) {
        if (observer_ != nullptr) {
            observer_->writing();
        }
        block.explain();
    }
    // Once a command has begun, the target may be half made until the last has ended.
    bool begun = false;
    for (const JobCommand& command : job.commands) {
        if (observer_ != nullptr) {
            observer_->writing();
        }
        std::optional<CommandToStart> ready =
            commandToStart(platform_, job, command, keepTemporaries_, diagnostics());
        if (!ready) {
            fail(1);
            return false;
        }
        const RebuiltCommand rebuilt = rebuildCommand(ready->line);
        if (rebuilt.echo) {
            block.echo(rebuilt.text);
        }
        // An interrupt that came meanwhile, while the echo waited for a slow
        // terminal say, ends the run before the command starts.
        stopIfInterrupted(job, begun);
        begun = true;
        const int status = runCommand(block, job, rebuilt);
        // The command has ended: its inline file goes, unless it is kept.
        ready->inlineFile.release();
        stopIfInterrupted(job, begun);
        if (!keepTemporaries_) {
            platform_.sweepTemporaries();
        }
        if (status != 0) {
            fail(status);
            return false;
        }
    }
    if (job.whenMade) {
        job.whenMade();
    }
    return true;
}

void SequentialExecutor::stopIfInterrupted(const Job& job, bool begun) {
    if (!interruptPending()) {
        return;
    }
    if (begun) {
        removePartlyMade(platform_, job, diagnostics());
    }
    endIfInterrupted();
}

int SequentialExecutor::finish() {
    endIfInterrupted();
    return status_;
}

void SequentialExecutor::fail(int status) {
    if (status_ == 0) {
        status_ = status;
    }
}

int SequentialExecutor::runCommand(const CommandBlock& block, const Job& job,
                                   const RebuiltCommand& command) {
    const std::uint64_t id = commands_++;
    if (observer_ != nullptr) {
        observer_->started(id, job.target, command.text, true);
    }
    int status = static_cast<int>(platform_.runProcess(command.text));
    if (status != 0) {
        if (command.stopOnError && !interruptPending()) {
            block.failed(status);
            setBackFailed(platform_, job, diagnostics());
        } else if (!command.stopOnError) {
            status = 0;
        }
    }
    if (observer_ != nullptr) {
        observer_->ended(id, job.target, command.text, status);
    }
    return status;
}
