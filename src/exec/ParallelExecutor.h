#pragma once

#include "exec/CommandRun.h"
#include "exec/Executor.h"
#include "exec/JobSlots.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

class Jobserver;
class Platform;
struct EndedProcess;

// Runs up to a number of commands at once. The commands of one job run in
// order; a job starts once the jobs it waits for have ended. Each command's
// echo line and output are written together when it ends, so that the output
// of commands running side by side never mixes. After a failure no further
// job starts, but one that has started runs its remaining commands, so that
// no target is left half made; an interrupt stops every job. Going on after a
// failure, the status is that of the failed job that came first. With a
// jobserver, each command beyond the first running one holds one of its tokens.
class ParallelExecutor : public Executor {
  public:
    ParallelExecutor(Platform& platform, unsigned slots, bool keepTemporaries,
                     Jobserver* jobserver = nullptr)
        : platform_(platform), commands_(platform, keepTemporaries), slots_(slots, jobserver) {}

    Submitted submit(Job job) override;
    int finish() override;
    int waitFor(JobId id) override;
    void stop() override { holding_ = true; }
    int status() const override { return status_; }

  private:
    struct Entry {
        Job job;
        std::size_t waitingFor = 0; // jobs of job.after that have not ended
        std::vector<JobId> dependents;
        std::size_t next = 0; // the command to start next
        bool ended = false;   // or failed, or skipped, when the run goes on
        bool failed = false;  // a command failed or could not start
        bool cut = false;     // an interrupt stopped it before its commands all ended
    };
    struct Running {
        JobId job;
        bool first; // the job's first command: its block explains the job
        CommandRun command;
    };

    // Whether a job that has not started yet may start: no failure, or one
    // that the run goes past.
    bool startsJobs() const;
    // Keeps the first failure's status; going on, also records the job as
    // failed and skips those waiting for it.
    void fail(JobId id, int status);
    void skipDependents(JobId id);
    void startReady();
    void startCommand(JobId id);
    // Starts the job's next command, or ends the job when all have succeeded;
    // after an interrupt, cuts it short instead.
    void continueJob(JobId id);
    // Stops a job for an interrupt: once its commands have begun, its target
    // is half made and goes.
    void cut(JobId id);
    void endJob(JobId id);
    void ended(EndedProcess process);
    // Waits for a command to end or, while a job is ready to start, for a
    // token to turn up.
    void waitOnce();

    Platform& platform_;
    CommandRunner commands_;
    JobSlots slots_;
    std::vector<Entry> jobs_;
    std::deque<JobId> ready_;
    std::map<std::uint64_t, Running> running_;
    int status_ = 0;
    JobId failedFirst_ = 0;    // the job whose failure gave the status
    bool holding_ = false;     // stop() was called
    bool interrupted_ = false; // no command starts any more
};
