#include "exec/DryRunExecutor.h"

#include "exec/Job.h"
#include "exec/RebuiltCommand.h"
#include "platform/Platform.h"
#include "text/ErrorReport.h"
#include "text/Note.h"

#include <cstdio>

JobId DryRunExecutor::submit(Job job) {
    run(job);
    return submitted_++;
}

void DryRunExecutor::run(const Job& job) {
    if (status_ != 0 || quiet_) {
        return;
    }
    if (!job.reason.empty()) {
        note("%s", job.reason.c_str());
    }
    for (const JobCommand& command : job.commands) {
        if (!command.opensInlineFile()) {
            std::printf("%s\n", rebuildCommand(command.line).text.c_str());
            continue;
        }
        if (!command.inlineTerminated) {
            status_ = reportError(message::kInlineNotTerminated, job.target.c_str(),
                                  command.line.c_str());
            return;
        }
        // The name a real run would take now; each of its commands sweeps the
        // inline files of the one before, so the names come round again.
        const std::string pending =
            command.line.substr(0, command.inlineAt) + platform_.freeTemporaryName();
        std::printf("%s\n", rebuildCommand(pending).text.c_str());
        for (const std::string& line : command.inlineLines) {
            if (!line.empty()) {
                std::fputs("    ", stdout);
            }
            std::printf("%s\n", line.c_str());
        }
    }
}
