#include "platform/Jobserver.h"

#include "platform/Interrupts.h"
#include "platform/JobserverAuth.h"
#include "text/Note.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Tokens are single bytes in a pipe, named or not. Each one taken goes back
// as the same byte. Reads go through a description of our own that never
// blocks: the one that the other processes share stays blocking, as their
// reads expect.
class PipeJobserver : public Jobserver {
  public:
    // `readFd` is ours and non-blocking; `writeFd` may be the same.
    PipeJobserver(int readFd, int writeFd, std::string fifo)
        : readFd_(readFd), writeFd_(writeFd), fifo_(std::move(fifo)) {}
    PipeJobserver(const PipeJobserver&) = delete;
    PipeJobserver& operator=(const PipeJobserver&) = delete;
    ~PipeJobserver() override {
        while (!taken_.empty()) {
            release();
        }
        if (!fifo_.empty()) {
            // Removes the fifo and closes our hold on it in one step.
            dropFileToRemoveOnInterrupt(fifo_, true);
        } else {
            close(readFd_);
        }
        for (const int fd : inherited_) {
            close(fd);
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
        while (write(writeFd_, &token, 1) < 0 && errno == EINTR) {
        }
    }

    std::intptr_t readiness() const override { return broken_ ? -1 : readFd_; }

    // The descriptors of the older form, which the commands inherit and the
    // jobserver closes at its end.
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

// A non-blocking description of our own for a pipe that others share: its
// blocking mode is left to them.
int ownDescriptor(int fd, int flags) {
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    return open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
}

std::string temporaryDirectory() {
    const char* directory = std::getenv("TMPDIR");
    return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

void fill(int fd, unsigned tokens) {
    for (unsigned i = 0; i < tokens; ++i) {
        const char token = '+';
        while (write(fd, &token, 1) < 0 && errno == EINTR) {
        }
    }
}

void announce(unsigned jobs, const std::string& auth) {
    const std::string flags = "-j" + std::to_string(jobs) + " --jobserver-auth=" + auth;
    setenv("MAKEFLAGS", flags.c_str(), 1);
}

std::unique_ptr<Jobserver> createFifo(unsigned jobs) {
    const std::string directory = temporaryDirectory();
    std::string path;
    for (int attempt = 0;; ++attempt) {
        path = directory + "/tarvo-jobserver." + std::to_string(getpid()) + "." +
               std::to_string(attempt);
        if (mkfifo(path.c_str(), 0600) == 0) {
            break;
        }
        if (errno != EEXIST || attempt == 99) {
            note("no jobserver: cannot create %s: %s", path.c_str(), std::strerror(errno));
            return nullptr;
        }
    }
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        note("no jobserver: cannot open %s: %s", path.c_str(), std::strerror(errno));
        unlink(path.c_str());
        return nullptr;
    }
    // Gone with the run, also when an interrupt ends it.
    addFileToRemoveOnInterrupt(path, fd);
    fill(fd, jobs - 1);
    announce(jobs, "fifo:" + path);
    return std::make_unique<PipeJobserver>(fd, fd, path);
}

std::unique_ptr<Jobserver> createPipe(unsigned jobs) {
    int fds[2];
    if (pipe(fds) != 0) {
        note("no jobserver: cannot create a pipe: %s", std::strerror(errno));
        return nullptr;
    }
    int readFd = ownDescriptor(fds[0], O_RDONLY);
    if (readFd < 0) {
        // Without a description of our own, the shared one cannot block.
        readFd = fcntl(fds[0], F_DUPFD_CLOEXEC, 0);
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
    }
    fill(fds[1], jobs - 1);
    announce(jobs, std::to_string(fds[0]) + "," + std::to_string(fds[1]));
    auto jobserver = std::make_unique<PipeJobserver>(readFd, fds[1], std::string());
    jobserver->inherit(fds[0], fds[1]);
    return jobserver;
}

} // namespace

std::unique_ptr<Jobserver> createJobserver(unsigned jobs, JobserverStyle style) {
    return style == JobserverStyle::Pipe ? createPipe(jobs) : createFifo(jobs);
}

std::unique_ptr<Jobserver> openJobserver(const std::string& makeflags) {
    const JobserverAuth auth = jobserverAuthIn(makeflags);
    switch (auth.kind) {
    case JobserverAuth::Kind::None:
        return nullptr;
    case JobserverAuth::Kind::Fifo: {
        const int fd = open(auth.name.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 || !isPipe(fd)) {
            note("jobserver %s ignored: %s", auth.name.c_str(),
                 fd < 0 ? std::strerror(errno) : "not a named pipe");
            if (fd >= 0) {
                close(fd);
            }
            return nullptr;
        }
        return std::make_unique<PipeJobserver>(fd, fd, std::string());
    }
    case JobserverAuth::Kind::Pipe: {
        const int readFd =
            isPipe(auth.readFd) && isPipe(auth.writeFd) ? ownDescriptor(auth.readFd, O_RDONLY) : -1;
        if (readFd < 0) {
            note("jobserver %d,%d ignored: the descriptors are not open here", auth.readFd,
                 auth.writeFd);
            return nullptr;
        }
        return std::make_unique<PipeJobserver>(readFd, auth.writeFd, std::string());
    }
    case JobserverAuth::Kind::Semaphore:
        note("jobserver %s ignored: not a named pipe", auth.name.c_str());
        return nullptr;
    }
    return nullptr;
}
