#pragma once

#include "exec/Job.h"

class CommandObserver;
class JobOutcomes;

// Runs the jobs that the decision hands over. It knows nothing of rules: a job
// is a target's name and its command lines.
class Executor {
  public:
    virtual ~Executor() = default;

    // Takes a job and returns its id. Its commands run in order, once the jobs
    // in job.after have ended; an executor of one job at a time runs them now.
    virtual JobId submit(Job job) = 0;
    // Waits until every job has ended, or can no longer start.
    virtual void finish() {}
    // Waits until the job has ended, or can no longer start.
    virtual void waitFor(JobId) {}
    // Starts no further command; finish then waits only for those running.
    virtual void stop() {}
    // 0 while every command has succeeded or had its failure ignored; otherwise
    // the status the build ends with: the exit code of the command that
    // failed first, or 1 after an error of the tool's own. No command starts then.
    virtual int status() const = 0;

    // Tells the observer of each command that starts and ends.
    void observe(CommandObserver& observer) { observer_ = &observer; }
    // After a failure, goes on with every job that does not wait for a failed
    // one, and records the outcomes; status() stays the first failure's.
    void keepGoing(JobOutcomes& outcomes) { outcomes_ = &outcomes; }

  protected:
    CommandObserver* observer_ = nullptr;
    JobOutcomes* outcomes_ = nullptr;
};
