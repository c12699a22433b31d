#include "platform/ChildProcesses_win32.h"

#include "platform/Interrupts.h"
#include "platform/Interrupts_win32.h"
#include "platform/ProcessLaunch_win32.h"
#include "platform/RefusedCommand.h"

#include <algorithm>
#include <cstdio>

namespace {

// With more processes than one wait takes, each group is waited for this
// long in turn.
constexpr DWORD kGroupWaitMilliseconds = 5;

} // namespace

std::uint64_t ChildProcesses::start(const std::string& commandLine) {
    std::fflush(stdout);
    const std::uint64_t id = nextId_++;
    if (!null_.valid()) {
        null_ = openInheritableNull();
        if (!null_.valid()) {
            return refuse(id, commandLine, GetLastError());
        }
    }
    if (!job_.valid()) {
        // Without a job an interrupt ends the commands, though not what they started.
        job_.reset(CreateJobObjectA(nullptr, nullptr));
    }
    auto child = std::make_unique<Child>();
    child->id = id;
    UniqueHandle output;
    UniqueHandle errors;
    DWORD error = child->output.open(output);
    if (error == 0) {
        error = child->errors.open(errors);
    }
    if (error != 0) {
        return refuse(id, commandLine, error);
    }
    // Noted before the start, so that an interrupt arriving meanwhile waits
    // for the child instead of ending the run under it.
    noteChildGroupStarted(0);
    PROCESS_INFORMATION process;
    error = launchProcess(commandLine, {null_.get(), output.get(), errors.get()}, CREATE_SUSPENDED,
                          process);
    // The child has its own ends now; the readers see the pipes end with it.
    output.reset();
    errors.reset();
    if (error != 0) {
        noteChildGroupEnded(0);
        return refuse(id, commandLine, error);
    }
    child->process.reset(process.hProcess);
    const UniqueHandle thread(process.hThread);
    // Held before it runs, so that whatever it starts is held too.
    if (job_.valid()) {
        AssignProcessToJobObject(job_.get(), process.hProcess);
    }
    if (interruptPending()) {
        TerminateProcess(process.hProcess, STATUS_CONTROL_C_EXIT);
    } else if (ResumeThread(process.hThread) == static_cast<DWORD>(-1)) {
        error = GetLastError();
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        noteChildGroupEnded(0);
        return refuse(id, commandLine, error);
    }
    processes_.push_back(process.hProcess);
    running_.push_back(std::move(child));
    return id;
}

std::uint64_t ChildProcesses::refuse(std::uint64_t id, const std::string& commandLine,
                                     DWORD error) {
    ended_.push_back({id, 1, launchFailureMessage(commandLine, error), {}});
    return id;
}

EndedProcess ChildProcesses::end(std::size_t index) {
    Child& child = *running_[index];
    DWORD code = 0;
    if (!GetExitCodeProcess(child.process.get(), &code)) {
        code = 1;
    }
    EndedProcess ended{child.id, code, child.output.finish(), child.errors.finish()};
    running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(index));
    processes_.erase(processes_.begin() + static_cast<std::ptrdiff_t>(index));
    noteChildGroupEnded(0);
    return ended;
}

void ChildProcesses::stopAll() {
    stopped_ = true;
    if (job_.valid()) {
        TerminateJobObject(job_.get(), STATUS_CONTROL_C_EXIT);
    }
    // Also those that the job could not take (a job of the tool's own on an
    // old system); one that has ended keeps its code.
    for (const HANDLE process : processes_) {
        TerminateProcess(process, STATUS_CONTROL_C_EXIT);
    }
}

std::optional<EndedProcess> ChildProcesses::waitOr(DWORD milliseconds) {
    if (!ended_.empty()) {
        EndedProcess ended = std::move(ended_.front());
        ended_.pop_front();
        return ended;
    }
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    for (;;) {
        // Until an interrupt has ended the children, each wait watches for one.
        const HANDLE interrupt = stopped_ ? nullptr : interruptEvent();
        const std::size_t perGroup = MAXIMUM_WAIT_OBJECTS - (interrupt != nullptr ? 1 : 0);
        DWORD timeout = processes_.size() <= perGroup ? INFINITE : kGroupWaitMilliseconds;
        if (milliseconds != INFINITE) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) {
                return std::nullopt;
            }
            timeout = static_cast<DWORD>(std::min<ULONGLONG>(timeout, deadline - now));
        }
        for (std::size_t first = 0; first < processes_.size(); first += perGroup) {
            const std::size_t count = std::min(perGroup, processes_.size() - first);
            std::copy_n(processes_.begin() + static_cast<std::ptrdiff_t>(first), count, handles);
            DWORD watched = static_cast<DWORD>(count);
            if (interrupt != nullptr) {
                handles[watched++] = interrupt;
            }
            const DWORD signalled =
                WaitForMultipleObjects(watched, handles, FALSE, timeout) - WAIT_OBJECT_0;
            if (signalled < count) {
                return end(first + signalled);
            }
            if (interrupt != nullptr && signalled == count) {
                stopAll();
                break;
            }
        }
    }
}
