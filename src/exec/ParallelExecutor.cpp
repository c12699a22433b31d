#include "exec/ParallelExecutor.h"

#include "exec/CommandBlock.h"
#include "exec/CommandToStart.h"
#include "exec/PartlyMade.h"
#include "exec/RebuiltCommand.h"
#include "platform/Interrupts.h"
#include "platform/Platform.h"

Submitted ParallelExecutor::submit(Job job) {
    const JobId id = jobs_.size();
    Entry entry;
    for (const JobId waited : job.after) {
        if (!jobs_[waited].ended) {
            ++entry.waitingFor;
            jobs_[waited].dependents.push_back(id);
        }
    }
    entry.job = std::move(job);
    const bool ready = entry.waitingFor == 0;
    jobs_.push_back(std::move(entry));
    if (ready) {
        ready_.push_back(id);
    }
    startReady();
    return {id, status_};
}

int ParallelExecutor::finish() {
    startReady();
    while (!running_.empty()) {
        ended(platform_.waitForProcess());
    }
    // Every command has stopped: the run may end by the interrupt now.
    endIfInterrupted();
    return status_;
}

int ParallelExecutor::waitFor(JobId id) {
    startReady();
    // After an interrupt, every command is waited for before the run ends.
    while (!running_.empty() && (!jobs_[id].ended || interruptPending())) {
        ended(platform_.waitForProcess());
    }
    endIfInterrupted();
    return status_;
}

void ParallelExecutor::startReady() {
    while (startsJobs() && running_.size() < slots_ && !ready_.empty()) {
        const JobId id = ready_.front();
        ready_.pop_front();
        continueJob(id);
    }
}

void ParallelExecutor::continueJob(JobId id) {
    if (!startCommand(id) && !jobs_[id].failed && !interrupted_) {
        endJob(id);
    }
}

bool ParallelExecutor::startCommand(JobId id) {
    Entry& entry = jobs_[id];
    // Only jobs that have not started wait after a failure elsewhere.
    if (interrupted_ || entry.failed || entry.next == entry.job.commands.size()) {
        return false;
    }
    const bool first = entry.next == 0;
    const JobCommand& command = entry.job.commands[entry.next++];
    std::optional<CommandToStart> ready =
        commandToStart(platform_, entry.job, command, keepTemporaries_);
    if (!ready) {
        entry.failed = true;
        if (status_ == 0) {
            status_ = 1;
        }
        return false;
    }
    const RebuiltCommand rebuilt = rebuildCommand(ready->line);
    const std::uint64_t process = platform_.startProcess(rebuilt.text);
    running_[process] = {
        id, rebuilt.text, rebuilt.echo, rebuilt.stopOnError, first, std::move(ready->inlineFile)};
    return true;
}

void ParallelExecutor::endJob(JobId id) {
    Entry& entry = jobs_[id];
    entry.ended = true;
    for (const JobId dependent : entry.dependents) {
        if (--jobs_[dependent].waitingFor == 0) {
            ready_.push_back(dependent);
        }
    }
}

void ParallelExecutor::ended(EndedProcess process) {
    const auto found = running_.find(process.id);
    Running command = std::move(found->second);
    running_.erase(found);
    // The command has ended: its inline file goes, unless it is kept.
    command.inlineFile.release();
    // An interrupt has reached the commands that run; none starts after them.
    if (interruptPending()) {
        interrupted_ = true;
        removePartlyMade(platform_, jobs_[command.job].job);
    }
    const Job& job = jobs_[command.job].job;
    const CommandBlock block(job);
    if (command.first) {
        block.explain();
    }
    if (command.echo) {
        block.echo(command.text);
    }
    block.output(process.output, process.errors);
    if (process.exitCode != 0 && command.stopOnError) {
        jobs_[command.job].failed = true;
        if (!interrupted_) {
            block.failed(static_cast<int>(process.exitCode));
            setBackFailed(platform_, job);
        }
        if (status_ == 0) {
            status_ = static_cast<int>(process.exitCode);
        }
    }
    if (!keepTemporaries_) {
        platform_.sweepTemporaries();
    }
    continueJob(command.job);
    startReady();
}
