#include "exec/PartlyMade.h"

#include "exec/Job.h"
#include "exec/Platform.h"
#include "text/Note.h"

void removePartlyMade(Platform& files, const Job& job) {
    const FileTime now = files.fileTime(job.target);
    if (now == job.targetTime) {
        return;
    }
    if (files.removeFile(job.target)) {
        note("%s: removed, since its commands were interrupted", job.target.c_str());
    } else {
        note("%s: could not be removed, though its commands were interrupted", job.target.c_str());
    }
}
