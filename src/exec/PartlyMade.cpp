#include "exec/PartlyMade.h"

#include "exec/Job.h"
#include "platform/Platform.h"
#include "text/Note.h"

void removePartlyMade(Platform& files, const Job& job) {
    const FileTime now = files.fileTime(job.target);
    if (now == job.targetTime) {
        return;
    }
    files.removeFile(job.target);
    note("%s: removed, since its commands were interrupted", job.target.c_str());
}

void setBackFailed(Platform& files, const Job& job) {
    const FileTime now = files.fileTime(job.target);
    if (now == 0 || now == job.targetTime) {
        return;
    }
    const FileTime before = job.targetTime != 0 ? job.targetTime : kOldestFileTime;
    if (files.setFileTime(job.target, before)) {
        note("%s: its time is set back, since its commands failed", job.target.c_str());
    } else {
        note("%s: its time could not be set back after its commands failed", job.target.c_str());
    }
}
