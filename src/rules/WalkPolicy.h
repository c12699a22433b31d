#pragma once

// How a walk goes, chosen together with the executor that runs its jobs.
struct WalkPolicy {
    // A target that has been handed to the executor counts as made when it is
    // reached again. Jobs that run side by side need it, since a second run of
    // a target's commands would overlap the first. Such a walk also waits for
    // the job of this run that makes a name a dependency file lists before its
    // time counts, and at a .WAIT for the jobs of the names before it.
    bool eachTargetOnce = false;
    // A rule without dependencies is made for its effects (creating a
    // directory, copying sources, writing a header), which a one-job run has
    // seen before it decides the dependencies that follow it in a list; with
    // jobs side by side the walk waits for such a job. Any other job is
    // awaited only by the targets that depend on it. Off where only the
    // dependencies and .WAIT order the jobs.
    bool stepsEndBeforeSiblings = false;
    // Hands jobs over after a failure too: the executor runs those that do not
    // wait for a failed one. Each target is then made once.
    bool keepGoing = false;
    // Takes every target for out of date, as a walk that lists every command does.
    bool allOutOfDate = false;
    // The commands do not really run (--dry-run, --graph): the files that a job
    // handed over would have written stay unknown, so after the first one a
    // missing name is no sure sign of a slip and is not said.
    bool imaginesCommands = false;
    // Says, in each job, why its target is out of date.
    bool explain = false;
    // A dependency cycle is passed over as if the dependency had not been made,
    // rather than reported as an error that ends the run: a graph shows the
    // makefile as it is, cycles included.
    bool passesOverCycles = false;
};
