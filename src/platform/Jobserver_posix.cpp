#include "platform/Jobserver.h"

#include "platform/Interrupts.h"
#include "platform/JobserverAuth.h"
#include "text/Diagnostics.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Tokens are single bytes in a pipe, named or not. Each one taken goes back
// as the same byte. Reads and writes go through descriptions of our own that
// never block: the ones that the other processes share stay blocking, as
// their reads and writes expect.
class PipeJobserver : public Jobserver {
  public:
    // `readFd` and `writeFd` are ours and non-blocking, and may be one.
    PipeJobserver(int readFd, int writeFd, std::string fifo)
        : readFd_(readFd), writeFd_(writeFd), fifo_(std::move(fifo)) {}
    PipeJobserver(const PipeJobserver&) = delete;
    PipeJobserver& operator=(const PipeJobserver&) = delete;
    ~PipeJobserver() override {
        while (!taken_.empty()) {
            release();
        }
        if (writeFd_ != readFd_) {
            close(writeFd_);
        }
        if (!fifo_.empty()) {
            // Removes the fifo and closes our hold on it in one step.
            dropFileToRemoveOnInterrupt(fifo_, true);
        } else {
            close(readFd_);
        }
        for (const int fd : inherited_) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    bool tryAcquire() override {
        if (broken_) {
            return false;
        }
        char token = 0;
        for (;;) {
            const ssize_t got = read(readFd_, &token, 1);
            if (got == 1) {
                taken_.push_back(token);
                return true;
            }
            if (got < 0 && errno == EINTR) {
                continue;
            }
            // No writer is left: no token will ever turn up.
            broken_ = got == 0 || errno != EAGAIN;
            return false;
        }
    }

    void release() override {
        if (taken_.empty()) {
            return;
        }
        const char token = taken_.back();
        taken_.pop_back();
        // A full pipe holds more tokens than were ever made: this one is not missed.
        while (write(writeFd_, &token, 1) < 0 && errno == EINTR) {
        }
    }

    std::intptr_t readiness() const override { return broken_ ? -1 : readFd_; }

    // The descriptors that the commands inherit, which the jobserver closes
    // at its end.
    void inherit(int readFd, int writeFd) {
        inherited_[0] = readFd;
        inherited_[1] = writeFd;
    }

  private:
    int readFd_;
    int writeFd_;
    std::string fifo_;
    int inherited_[2] = {-1, -1};
    std::string taken_;
    bool broken_ = false;
};

bool isPipe(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode);
}

bool isOpen(int fd) {
    return fcntl(fd, F_GETFD) >= 0 || errno != EBADF;
}

// A non-blocking description of our own for a pipe that others share: their
// blocking mode is left to them. -1 when the system has no path to it.
int ownDescriptor(int fd, int flags) {
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    return open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
}

// Our own non-blocking description of a shared pipe end, or else a copy of
// the end made non-blocking for all, which only a full pipe or an empty one
// can tell.
int nonBlocking(int fd, int flags) {
    const int own = ownDescriptor(fd, flags);
    if (own >= 0) {
        return own;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

std::string temporaryDirectory() {
    const char* directory = std::getenv("TMPDIR");
    return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

// Puts up to `tokens` tokens into the pipe through a non-blocking end; a pipe
// too small for them is grown as far as the system lets it. Returns how many
// went in.
unsigned fill(int fd, unsigned tokens, Diagnostics& diagnostics) {
#ifdef F_SETPIPE_SZ
    const int size = fcntl(fd, F_GETPIPE_SZ);
    if (size >= 0 && tokens > static_cast<unsigned>(size)) {
        fcntl(fd, F_SETPIPE_SZ, static_cast<int>(std::min<unsigned>(tokens, INT_MAX)));
    }
#endif
    // Writes of up to a page go in whole or not at all: the last few go one by one.
    const std::string chunk(4096, '+');
    std::size_t most = chunk.size();
    unsigned done = 0;
    while (done < tokens) {
        const ssize_t wrote = write(fd, chunk.data(), std::min<std::size_t>(most, tokens - done));
        if (wrote > 0) {
            done += static_cast<unsigned>(wrote);
        } else if (wrote < 0 && errno == EAGAIN && most > 1) {
            most = 1;
        } else if (wrote == 0 || errno != EINTR) {
            break;
        }
    }
    if (done < tokens) {
        diagnostics.note(
            "-j%u: the jobserver holds %u tokens, as many as the system lets a pipe hold; "
            "at most %u commands run at once",
            tokens + 1, done, done + 1);
    }
    return done;
}

std::string jobsFlag(unsigned tokens) {
    return "-j" + std::to_string(tokens + 1);
}

CreatedJobserver createFifo(unsigned jobs, Diagnostics& diagnostics) {
    const std::string directory = temporaryDirectory();
    std::string path;
    for (int attempt = 0;; ++attempt) {
        path = directory + "/tarvo-jobserver." + std::to_string(getpid()) + "." +
               std::to_string(attempt);
        if (mkfifo(path.c_str(), 0600) == 0) {
            break;
        }
        if (errno != EEXIST || attempt == 99) {
            diagnostics.note("no jobserver: cannot create %s: %s", path.c_str(),
                             std::strerror(errno));
            return {};
        }
    }
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        diagnostics.note("no jobserver: cannot open %s: %s", path.c_str(), std::strerror(errno));
        unlink(path.c_str());
        return {};
    }
    // Gone with the run, also when an interrupt ends it.
    addFileToRemoveOnInterrupt(path, fd);
    const unsigned tokens = fill(fd, jobs - 1, diagnostics);
    return {std::make_unique<PipeJobserver>(fd, fd, path),
            jobsFlag(tokens) + " --jobserver-auth=fifo:" + path};
}

CreatedJobserver createPipe(unsigned jobs, Diagnostics& diagnostics) {
    int fds[2];
    if (pipe(fds) != 0) {
        diagnostics.note("no jobserver: cannot create a pipe: %s", std::strerror(errno));
        return {};
    }
    const int readFd = nonBlocking(fds[0], O_RDONLY);
    const int writeFd = nonBlocking(fds[1], O_WRONLY);
    auto jobserver = std::make_unique<PipeJobserver>(readFd, writeFd, std::string());
    jobserver->inherit(fds[0], fds[1]);
    fill(writeFd, jobs - 1, diagnostics);
    // Both spellings, and -j without a number: GNU make before 4.2 reads only
    // --jobserver-fds, and takes a number after -j for a -j of its own, for
    // which it leaves the jobserver.
    const std::string descriptors = std::to_string(fds[0]) + "," + std::to_string(fds[1]);
    return {std::move(jobserver),
            "-j --jobserver-auth=" + descriptors + " --jobserver-fds=" + descriptors};
}

// Why the descriptors of a jobserver in MAKEFLAGS cannot serve; empty when they can.
std::string unusable(int readFd, int writeFd) {
    if (!isOpen(readFd) || !isOpen(writeFd)) {
        return "its descriptors are not open here; GNU make closes them for a command that it "
               "does not take for a sub-build: begin that command with \"+\" in the parent "
               "makefile, or let it use $(MAKE)";
    }
    for (const int fd : {readFd, writeFd}) {
        if (!isPipe(fd)) {
            return "descriptor " + std::to_string(fd) +
                   " is open here, but not a pipe: the parent's jobserver did not reach tarvo";
        }
    }
    return std::string();
}

} // namespace

CreatedJobserver createJobserver(unsigned jobs, JobserverStyle style, Diagnostics& diagnostics) {
    return style == JobserverStyle::Fifo ? createFifo(jobs, diagnostics)
                                         : createPipe(jobs, diagnostics);
}

std::unique_ptr<Jobserver> openJobserver(const std::string& makeflags, Diagnostics& diagnostics) {
    const JobserverAuth auth = jobserverAuthIn(makeflags);
    switch (auth.kind) {
    case JobserverAuth::Kind::None:
        return nullptr;
    case JobserverAuth::Kind::Fifo: {
        const int fd = open(auth.name.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 || !isPipe(fd)) {
            diagnostics.note("jobserver %s ignored: %s", auth.name.c_str(),
                             fd < 0 ? std::strerror(errno) : "not a named pipe");
            if (fd >= 0) {
                close(fd);
            }
            return nullptr;
        }
        return std::make_unique<PipeJobserver>(fd, fd, std::string());
    }
    case JobserverAuth::Kind::Pipe: {
        const std::string why = unusable(auth.readFd, auth.writeFd);
        if (!why.empty()) {
            diagnostics.note("jobserver %d,%d ignored: %s", auth.readFd, auth.writeFd, why.c_str());
            return nullptr;
        }
        return std::make_unique<PipeJobserver>(nonBlocking(auth.readFd, O_RDONLY),
                                               nonBlocking(auth.writeFd, O_WRONLY), std::string());
    }
    case JobserverAuth::Kind::Semaphore:
        diagnostics.note("jobserver %s ignored: not a named pipe", auth.name.c_str());
        return nullptr;
    }
    return nullptr;
}
