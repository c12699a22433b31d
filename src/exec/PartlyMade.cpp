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
