#include "exec/PartlyMade.h"

#include "exec/Job.h"
#include "platform/Platform.h"
#include "text/Diagnostics.h"

namespace {

// A directory, a sub-build's say, is no file its commands write: it is
// never half made, nor its time a sign that it is up to date.
bool isMadeFile(Platform& files, const Job& job) {
    const EntryKind kind = files.entryKind(job.target);
    return kind == EntryKind::File || kind == EntryKind::Link;
}

} // namespace

void removePartlyMade(Platform& files, const Job& job, Diagnostics& diagnostics) {
    if (!isMadeFile(files, job) || files.fileTime(job.target) == job.targetTime) {
        return;
    }
    if (files.removeFile(job.target)) {
        diagnostics.note("%s: removed, since its commands were interrupted", job.target.c_str());
    } else {
        diagnostics.note("%s: could not be removed, though its commands were interrupted",
                         job.target.c_str());
    }
}

void setBackFailed(Platform& files, const Job& job, Diagnostics& diagnostics) {
    if (!isMadeFile(files, job)) {
        return;
    }
    const FileTime now = files.fileTime(job.target);
    if (now == 0 || now == job.targetTime) {
        return;
    }
    const FileTime before = job.targetTime != 0 ? job.targetTime : kOldestFileTime;
    if (files.setFileTime(job.target, before)) {
        diagnostics.note("%s: its time is set back, since its commands failed", job.target.c_str());
    } else {
        diagnostics.note("%s: its time could not be set back after its commands failed",
                         job.target.c_str());
    }
}
