#pragma once

// How a walk goes, chosen together with the executor that runs its jobs.
struct WalkPolicy {
    // A target that has been handed to the executor counts as made when it is
    // reached again. Jobs that run side by side need it, since a second run of
    // a target's commands would overlap the first.
    bool eachTargetOnce = false;
    // A rule without dependencies is made for its effects (creating a
    // directory, copying sources, writing a header), which a one-job run has
    // seen before it decides the dependencies that follow it in a list; with
    // jobs side by side the walk waits for such a job, and for the job of this
    // run that makes a name a dependency file lists, before its time counts.
    // Any other job is awaited only by the targets that depend on it.
    bool stepsEndBeforeSiblings = false;
    // Says, in each job, why its target is out of date.
    bool explain = false;
    // A dependency cycle is passed over as if the dependency had not been made,
    // rather than reported as an error that ends the run: a graph shows the
    // makefile as it is, cycles included.
    bool passesOverCycles = false;
};
