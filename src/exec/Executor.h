#pragma once

struct Job;

// Runs the jobs that the decision hands over. It knows nothing of rules: a job
// is a target's name and its command lines.
class Executor {
  public:
    virtual ~Executor() = default;

    // Runs the job's commands in order, or arranges for them to run.
    virtual void run(const Job& job) = 0;
    // 0 while every command has succeeded or had its failure ignored; otherwise
    // the status the build ends with: the exit code of the command that
    // failed, or 1 after an error of the tool's own. No command starts then.
    virtual int status() const = 0;
};
