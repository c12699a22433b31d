#include "exec/SequentialExecutor.h"

#include "exec/CommandObserver.h"
#include "exec/Job.h"
#include "exec/JobOutcomes.h"
#include "platform/Interrupts.h"

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
    if (job.stillNeeded && !job.stillNeeded()) {
        return true;
    }
    if (!job.reason.empty()) {
        if (observer_ != nullptr) {
            observer_->writing();
        }
        explainJob(job, diagnostics());
    }
    // Once a command has begun, the target may be half made until the last has ended.
    bool begun = false;
    for (const JobCommand& line : job.commands) {
        if (observer_ != nullptr) {
            observer_->writing();
        }
        std::optional<CommandRun> command = commands_.prepare(job, line, diagnostics());
        if (!command) {
            fail(1);
            return false;
        }
        if (command->echoes()) {
            echoCommand(command->text());
        }
        // An interrupt that came meanwhile, while the echo waited for a slow
        // terminal say, ends the run before the command starts.
        stopIfInterrupted(job, begun);
        begun = true;
        const std::uint32_t exitCode = commands_.run(*command, job, observer_);
        const int status = commands_.end(*command, job, exitCode, observer_, diagnostics());
        stopIfInterrupted(job, begun);
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
        commands_.removePartlyMade(job, diagnostics());
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
