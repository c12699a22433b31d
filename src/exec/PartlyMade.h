#pragma once

class Platform;
struct Job;

// After an interrupt: removes the job's target when its commands have changed
// the file (its time differs from the one read for the decision), so that a
// half-made target never passes for up to date, and says on standard error
// whether it went. A target the commands did not touch stays.
void removePartlyMade(Platform& files, const Job& job);
