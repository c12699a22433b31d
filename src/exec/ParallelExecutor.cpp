#include "exec/ParallelExecutor.h"

#include "exec/CommandObserver.h"
#include "exec/JobOutcomes.h"
#include "platform/Interrupts.h"
#include "platform/Platform.h"

Submitted ParallelExecutor::submit(Job job) {
    const JobId id = jobs_.size();
    Entry entry;
    if (outcomes_ != nullptr && outcomes_->blocked(job.after)) {
        entry.ended = true;
        outcomes_->skipped(id, job.target);
        entry.job = std::move(job);
        jobs_.push_back(std::move(entry));
        return {id, status_};
    }
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
        waitOnce();
    }
    // Every command has stopped: the run may end by the interrupt now.
    endIfInterrupted();
    return status_;
}

int ParallelExecutor::waitFor(JobId id) {
    startReady();
    // After an interrupt, every command is waited for before the run ends.
    while (!running_.empty() && (!jobs_[id].ended || interruptPending())) {
        waitOnce();
    }
    endIfInterrupted();
    return status_;
}

void ParallelExecutor::startReady() {
    while (startsJobs() && !ready_.empty() && slots_.mayStart(running_.size())) {
        const JobId id = ready_.front();
        ready_.pop_front();
        continueJob(id);
    }
    // A token taken for a job without commands, or for one that ended, goes back.
    slots_.settle(running_.size());
}

void ParallelExecutor::continueJob(JobId id) {
    // An interrupt may have come while output was written or temporaries swept.
    if (interruptPending()) {
        interrupted_ = true;
    }
    Entry& entry = jobs_[id];
    // A job that has started runs on after a failure elsewhere; only those
    // that have not wait (startReady).
    if (entry.failed || entry.cut) {
        return;
    }
    if (entry.next == 0 && entry.job.stillNeeded && !interrupted_ && !entry.job.stillNeeded()) {
        entry.next = entry.job.commands.size();
        entry.job.whenMade = nullptr;
    }
    if (entry.next == entry.job.commands.size()) {
        endJob(id);
    } else if (interrupted_) {
        cut(id);
    } else {
        startCommand(id);
    }
}

void ParallelExecutor::cut(JobId id) {
    Entry& entry = jobs_[id];
    if (entry.cut) {
        return;
    }
    entry.cut = true;
    if (entry.next > 0) {
        commands_.removePartlyMade(entry.job, diagnostics());
    }
}

void ParallelExecutor::startCommand(JobId id) {
    Entry& entry = jobs_[id];
    const bool first = entry.next == 0;
    std::optional<CommandRun> command =
        commands_.prepare(entry.job, entry.job.commands[entry.next++], diagnostics());
    if (!command) {
        fail(id, 1);
        return;
    }
    commands_.start(*command, entry.job, observer_);
    const std::uint64_t process = command->id();
    running_.emplace(process, Running{id, first, std::move(*command)});
}

bool ParallelExecutor::startsJobs() const {
    return (status_ == 0 || outcomes_ != nullptr) && !holding_ && !interrupted_;
}

void ParallelExecutor::fail(JobId id, int status) {
    jobs_[id].failed = true;
    // Going on, the status is that of the job that a run of one job at a time
    // meets first, the order in which the jobs came, whatever ends first.
    if (status_ == 0 || (outcomes_ != nullptr && id < failedFirst_)) {
        status_ = status;
        failedFirst_ = id;
    }
    if (outcomes_ == nullptr) {
        return;
    }
    // Going on: the job counts as ended, and those waiting for it are skipped.
    outcomes_->failed(id, jobs_[id].job.target);
    jobs_[id].ended = true;
    skipDependents(id);
}

void ParallelExecutor::skipDependents(JobId id) {
    for (const JobId dependent : jobs_[id].dependents) {
        Entry& entry = jobs_[dependent];
        if (!entry.ended) {
            entry.ended = true;
            outcomes_->skipped(dependent, entry.job.target);
            skipDependents(dependent);
        }
    }
}

void ParallelExecutor::endJob(JobId id) {
    Entry& entry = jobs_[id];
    entry.ended = true;
    if (!interrupted_ && !entry.failed && entry.job.whenMade) {
        entry.job.whenMade();
    }
    for (const JobId dependent : entry.dependents) {
        if (--jobs_[dependent].waitingFor == 0) {
            ready_.push_back(dependent);
        }
    }
}

void ParallelExecutor::ended(EndedProcess process) {
    const auto found = running_.find(process.id);
    Running running = std::move(found->second);
    running_.erase(found);
    // An interrupt has reached the commands that run; none starts after them,
    // and this one may have been cut short.
    if (interruptPending()) {
        interrupted_ = true;
        cut(running.job);
    }
    const Job& job = jobs_[running.job].job;
    if (observer_ != nullptr) {
        observer_->writing();
    }
    running.command.showBlock(job, running.first, process.output, process.errors, diagnostics());
    const int status =
        commands_.end(running.command, job, process.exitCode, observer_, diagnostics());
    if (status != 0) {
        fail(running.job, status);
    }
    continueJob(running.job);
    startReady();
}

void ParallelExecutor::waitOnce() {
    const bool wantsToken = !ready_.empty() && startsJobs();
    // What watches the commands is told now and then that time goes on.
    constexpr int kWatchMilliseconds = 500;
    std::optional<EndedProcess> process =
        platform_.waitForProcessOr(wantsToken ? slots_.readiness(running_.size()) : -1,
                                   observer_ != nullptr ? kWatchMilliseconds : -1);
    if (process) {
        ended(std::move(*process));
        return;
    }
    if (observer_ != nullptr) {
        observer_->waiting();
    }
    startReady();
}
