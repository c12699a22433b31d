#pragma once

class Diagnostics;
class Platform;
struct Job;

// After an interrupt: removes the job's target when its commands have changed
// the file (its time differs from the one read for the decision), so that a
// half-made target never passes for up to date, and says on standard error
// whether it went. A target the commands did not touch stays, and so does a
// directory; a symbolic link is removed itself.
void removePartlyMade(Platform& files, const Job& job, Diagnostics& diagnostics);

// After a command of the job failed: a target whose file its commands changed
// gets back the time read for the decision (the oldest time there is, when it
// was missing then), so that the next run makes it again, and standard error
// says so. The file itself stays for what it holds, such as a test's log. A
// directory is left as it is; a symbolic link gets the time itself, never the
// file it points to.
void setBackFailed(Platform& files, const Job& job, Diagnostics& diagnostics);
