#include "platform/ChildProcesses_posix.h"

#include "platform/Interrupts.h"
#include "platform/RefusedCommand.h"
#include "platform/ShellQuoting.h"
#include "platform/SignalBlock_posix.h"
#include "text/Words.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

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

std::uint32_t exitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return static_cast<std::uint32_t>(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return 128 + static_cast<std::uint32_t>(WTERMSIG(status));
    }
    return 1;
}

void closePipe(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// Starts argv in a group of its own with the given pipes; the error when it could not be started.
int spawn(const std::vector<std::string>& words, int out, int err, pid_t& child) {
    std::vector<char*> argv;
    for (const std::string& word : words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t mask;
    sigprocmask(SIG_SETMASK, nullptr, &mask);
    posix_spawnattr_setsigmask(&attributes, &mask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    const int failed = posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return failed;
}

} // namespace

bool shellMayStart(int error) {
    return error == ENOENT || error == ENOTDIR || error == ENOEXEC;
}

ChildProcesses::~ChildProcesses() {
    for (Child& child : running_) {
        closePipe(child.pipes[0]);
        closePipe(child.pipes[1]);
    }
}

std::uint64_t ChildProcesses::start(const std::string& commandLine) {
    std::fflush(stdout);
    watchChildren();
    const std::uint64_t id = nextId_++;
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return refuse(id, commandLine, errno);
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        const int error = errno;
        close(out[0]);
        close(out[1]);
        return refuse(id, commandLine, error);
    }
    // Interrupts wait until the child is noted, so that one arriving meanwhile
    // reaches it too.
    const SignalBlock block;
    pid_t child = -1;
    int error = ENOENT;
    if (!needsShell(commandLine)) {
        const std::vector<std::string> words = splitWords(commandLine);
        if (!words.empty()) {
            error = spawn(words, out[1], err[1], child);
        }
    }
    if (error != 0 && shellMayStart(error)) {
        error = spawn({"/bin/sh", "-c", shellLine(commandLine)}, out[1], err[1], child);
    }
    close(out[1]);
    close(err[1]);
    if (error != 0) {
        close(out[0]);
        close(err[0]);
        return refuse(id, commandLine, error);
    }
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    fcntl(err[0], F_SETFL, O_NONBLOCK);
    Child entry;
    entry.id = id;
    entry.processId = child;
    entry.pipes[0] = out[0];
    entry.pipes[1] = err[0];
    running_.push_back(std::move(entry));
    noteChildGroupStarted(child);
    return id;
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

EndedProcess ChildProcesses::wait() {
    if (!ended_.empty()) {
        EndedProcess ended = std::move(ended_.front());
        ended_.pop_front();
        return ended;
    }
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
        if (poll(polled.data(), polled.size(), 1000) <= 0) {
            continue;
        }
        for (std::size_t k = 1; k < polled.size(); ++k) {
            if (polled[k].revents != 0) {
                drain(running_[owners[k].first], owners[k].second);
            }
        }
    }
}
