#pragma once

#include "exec/Job.h"
#include "text/Diagnostics.h"

class CommandObserver;
class JobOutcomes;

// What the executor says when it takes a job: the job's id, and the status of
// the build so far, as status() below.
struct Submitted {
    JobId job;
    int status;
};

// Runs the jobs that the decision hands over. It knows nothing of rules: a job
// is a target's name and its command lines. Each call reports the status of
// the build as it stands after it: 0 while every command has succeeded or had
// its failure ignored; otherwise the status the build ends with, the exit code
// of the command that failed first, or 1 after an error of the tool's own. No
// command starts then.
class Executor {
  public:
    virtual ~Executor() = default;

    // Takes a job. Its commands run in order, once the jobs in job.after have
    // ended; an executor of one job at a time runs them now.
    virtual Submitted submit(Job job) = 0;
    // Waits until every job has ended, or can no longer start.
    virtual int finish() { return status(); }
    // Waits until the job has ended, or can no longer start.
    virtual int waitFor(JobId) { return status(); }
    // Starts no further command; finish then waits only for those running.
    virtual void stop() {}

    // Tells the observer of each command that starts and ends.
    void observe(CommandObserver& observer) { observer_ = &observer; }
    // After a failure, goes on with every job that does not wait for a failed
    // one, and records the outcomes; status() stays the first failure's.
    void keepGoing(JobOutcomes& outcomes) { outcomes_ = &outcomes; }
    // Says the tool's errors and the notes of the jobs through the run's
    // diagnostics; until told so, through a plain one of its own.
    void reportThrough(Diagnostics& diagnostics) { diagnostics_ = &diagnostics; }

  protected:
    virtual int status() const = 0;

    Diagnostics& diagnostics() const { return *diagnostics_; }

    CommandObserver* observer_ = nullptr;
    JobOutcomes* outcomes_ = nullptr;

  private:
    Diagnostics plain_;
    Diagnostics* diagnostics_ = &plain_;
};
