#include "exec/DryRunExecutor.h"

#include "exec/CommandRun.h"
#include "exec/Job.h"
#include "platform/Platform.h"
#include "text/ErrorReport.h"

Submitted DryRunExecutor::submit(Job job) {
    run(job);
    return {submitted_++, status_};
}

void DryRunExecutor::run(const Job& job) {
    if (status_ != 0 || quiet_) {
        return;
    }
    explainJob(job, diagnostics());
    for (const JobCommand& command : job.commands) {
        if (!command.opensInlineFile()) {
            echoCommand(rebuildCommand(command.line).text);
            continue;
        }
        if (!command.inlineTerminated) {
            status_ = diagnostics().error(message::kInlineNotTerminated, job.target.c_str(),
                                          command.line.c_str());
            return;
        }
        // The name a real run would take now; each of its commands sweeps the
        // inline files of the one before, so the names come round again.
        const std::string pending =
            command.line.substr(0, command.inlineAt) + platform_.freeTemporaryName();
        echoCommand(rebuildCommand(pending).text);
        echoInlineLines(command.inlineLines);
    }
}
