#include "platform/ChildProcesses_posix.h"

#include "platform/Interrupts.h"
#include "platform/ProcessLaunch_posix.h"
#include "platform/RefusedCommand.h"
#include "platform/SignalBlock_posix.h"
#include "text/Diagnostics.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

// A byte arrives here whenever a child ends, so that waiting on the children's
// pipes also wakes for a child that ended with its pipes already closed.
int gChildEnded[2] = {-1, -1};

void onChildEnded(int) {
    const int saved = errno;
    const char byte = 0;
    const ssize_t written = write(gChildEnded[1], &byte, 1);
    static_cast<void>(written); // a full pipe has woken the waiter already
    errno = saved;
}

void watchChildren() {
    if (gChildEnded[0] >= 0 || pipe2(gChildEnded, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onChildEnded;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigaction(SIGCHLD, &action, nullptr);
}

void drainChildEnded() {
    char bytes[256];
    while (read(gChildEnded[0], bytes, sizeof bytes) > 0) {
    }
}

// Raises the soft limit of open descriptors towards the hard one, by half as
// much again at least; false when it is there already. The limit is raised
// only as far as the run needs: commands inherit it, and some walk every
// descriptor up to it.
bool raiseDescriptorLimit() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        (limit.rlim_max != RLIM_INFINITY && limit.rlim_cur >= limit.rlim_max)) {
        return false;
    }
    rlim_t raised = limit.rlim_cur + std::max<rlim_t>(limit.rlim_cur / 2, 64);
    if (limit.rlim_max != RLIM_INFINITY && raised > limit.rlim_max) {
        raised = limit.rlim_max;
    }
    limit.rlim_cur = raised;
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

void closePipe(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// Reads from a pipe return at once when it is empty.
int setNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        return errno;
    }
    return 0;
}

} // namespace

ChildProcesses::~ChildProcesses() {
    for (Child& child : running_) {
        closePipe(child.pipes[0]);
        closePipe(child.pipes[1]);
    }
}

std::uint64_t ChildProcesses::start(const std::string& commandLine, FoundPrograms& programs) {
    std::fflush(stdout);
    watchChildren();
    const std::uint64_t id = nextId_++;
    for (;;) {
        const int error = tryStart(id, commandLine, programs);
        if (error == 0) {
            return id;
        }
        if (!(error == EMFILE || error == ENFILE) || !makeRoom()) {
            return refuse(id, commandLine, error);
        }
    }
}

int ChildProcesses::tryStart(std::uint64_t id, const std::string& commandLine,
                             FoundPrograms& programs) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return errno;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        const int error = errno;
        close(out[0]);
        close(out[1]);
        return error;
    }
    int error = setNonBlocking(out[0]);
    if (error == 0) {
        error = setNonBlocking(err[0]);
    }
    pid_t child = -1;
    bool interrupted = false;
    if (error == 0) {
        // Interrupts wait until the child is noted, so that one arriving
        // meanwhile reaches it too, and one that came before keeps it from
        // starting at all.
        const SignalBlock block;
        interrupted = interruptPending();
        if (!interrupted) {
            error = launchProcess(commandLine, programs, {true, out[1], err[1]}, true, child);
            if (error == 0) {
                noteChildGroupStarted(child);
            }
        }
    }
    close(out[1]);
    close(err[1]);
    if (error != 0 || interrupted) {
        close(out[0]);
        close(err[0]);
        if (interrupted) {
            ended_.push_back({id, 1, {}, {}});
        }
        return error;
    }
    Child entry;
    entry.id = id;
    entry.processId = child;
    entry.pipes[0] = out[0];
    entry.pipes[1] = err[0];
    running_.push_back(std::move(entry));
    return 0;
}

bool ChildProcesses::makeRoom() {
    if (raiseDescriptorLimit()) {
        return true;
    }
    if (running_.empty()) {
        return false;
    }
    if (!saidShort_ && diagnostics_ != nullptr) {
        saidShort_ = true;
        struct rlimit limit;
        getrlimit(RLIMIT_NOFILE, &limit);
        diagnostics_->note(
            "the descriptor limit (ulimit -n %llu) allows %zu commands at once: the others wait "
            "for one to end",
            static_cast<unsigned long long>(limit.rlim_cur), running_.size());
    }
    ended_.push_back(waitForChild(-1, -1).value());
    return true;
}

std::uint64_t ChildProcesses::refuse(std::uint64_t id, const std::string& commandLine, int error) {
    ended_.push_back({id, 1, refusedCommandMessage(commandLine, std::strerror(error)), {}});
    return id;
}

void ChildProcesses::drain(Child& child, int which) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = read(child.pipes[which], buffer, sizeof buffer);
        if (got > 0) {
            child.collected[which].append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got == 0 || errno != EAGAIN) {
            closePipe(child.pipes[which]);
        }
        return;
    }
}

EndedProcess ChildProcesses::end(std::size_t index, int waitStatus) {
    Child& child = running_[index];
    // What the child wrote before it ended is in the pipes now; a process it
    // left behind may hold them open, so only that is taken.
    drain(child, 0);
    drain(child, 1);
    closePipe(child.pipes[0]);
    closePipe(child.pipes[1]);
    noteChildGroupEnded(child.processId);
    EndedProcess ended{child.id, exitCodeOf(waitStatus), std::move(child.collected[0]),
                       std::move(child.collected[1])};
    running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(index));
    return ended;
}

std::optional<EndedProcess> ChildProcesses::waitOr(int wake, int milliseconds) {
    if (!ended_.empty()) {
        EndedProcess ended = std::move(ended_.front());
        ended_.pop_front();
        return ended;
    }
    return waitForChild(wake, milliseconds);
}

std::optional<EndedProcess> ChildProcesses::waitForChild(int wake, int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::vector<pollfd> polled;
    std::vector<std::pair<std::size_t, int>> owners; // child and pipe of each polled entry
    for (;;) {
        drainChildEnded();
        for (std::size_t i = 0; i < running_.size(); ++i) {
            int status = 0;
            if (waitpid(running_[i].processId, &status, WNOHANG) == running_[i].processId) {
                return end(i, status);
            }
        }
        polled.clear();
        owners.clear();
        polled.push_back({gChildEnded[0], POLLIN, 0});
        owners.emplace_back(0, -1);
        if (wake >= 0) {
            polled.push_back({wake, POLLIN, 0});
            owners.emplace_back(0, -1);
        }
        for (std::size_t i = 0; i < running_.size(); ++i) {
            for (int which = 0; which < 2; ++which) {
                if (running_[i].pipes[which] >= 0) {
                    polled.push_back({running_[i].pipes[which], POLLIN, 0});
                    owners.emplace_back(i, which);
                }
            }
        }
        // Woken by output, by the end of a child, or now and then in case the
        // signal was lost (the pipe could not be made).
        int timeout = 1000;
        if (milliseconds >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) {
                return std::nullopt;
            }
            timeout = static_cast<int>(std::min<long long>(timeout, left));
        }
        if (poll(polled.data(), polled.size(), timeout) <= 0) {
            continue;
        }
        if (wake >= 0 && polled[1].revents != 0) {
            return std::nullopt;
        }
        for (std::size_t k = wake >= 0 ? 2 : 1; k < polled.size(); ++k) {
            if (polled[k].revents != 0) {
                drain(running_[owners[k].first], owners[k].second);
            }
        }
    }
}
