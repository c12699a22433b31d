#include "platform/SystemPlatform.h"

#include "containers/ContentHash.h"

#include "platform/ChildProcesses_posix.h"
#include "platform/FileTime.h"
#include "platform/Interrupts.h"
#include "platform/ProcessLaunch_posix.h"
#include "platform/RefusedCommand.h"
#include "platform/SignalBlock_posix.h"
#include "platform/TempNames.h"
#include "platform/TemporarySweeper_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

namespace {

FileTime fileTimeOf(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0) {
        return 0;
    }
    return fileTimeFromUnix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

// Starts the command line and waits for it. Returns 0, or the error number
// when it could not be started.
int launchAndWait(const std::string& commandLine, FoundPrograms& programs,
                  std::uint32_t& exitCode) {
    pid_t child = 0;
    {
        // Interrupts are held back while the child is started and noted, so
        // that one arriving meanwhile is passed on to it rather than lost;
        // after one, nothing starts.
        const SignalBlock block;
        if (interruptPending()) {
            exitCode = 1;
            return 0;
        }
        const int error = launchProcess(commandLine, programs, ChildStreams(), false, child);
        if (error != 0) {
            return error;
        }
        noteChildStarted(child);
    }
    int status = 0;
    bool waited = true;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            waited = false;
            break;
        }
    }
    {
        const SignalBlock block;
        noteChildEnded();
    }
    exitCode = waited ? exitCodeOf(status) : 1;
    return 0;
}

std::uint32_t refused(const std::string& commandLine, int error) {
    std::fputs(refusedCommandMessage(commandLine, std::strerror(error)).c_str(), stdout);
    return 1;
}

struct DirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};

// The first entry (in byte order of names) of the directory part of the path
// that matches its last component, letter case ignored.
std::optional<std::string> firstWildcardMatch(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string directory =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
    std::unique_ptr<DIR, DirectoryCloser> handle(opendir(directory.c_str()));
    if (!handle) {
        return std::nullopt;
    }
    std::optional<std::string> best;
    while (const dirent* entry = readdir(handle.get())) {
        if (matchesWildcard(pattern.c_str(), entry->d_name) &&
            (!best || std::strcmp(entry->d_name, best->c_str()) < 0)) {
            best = entry->d_name;
        }
    }
    return best;
}

std::string directoryPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

FileStamp stampOf(const struct stat& info) {
    const FileTime time = fileTimeFromUnix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    const FileTime change = fileTimeFromUnix(info.st_ctim.tv_sec, info.st_ctim.tv_nsec);
    return {time, fileVersion(static_cast<std::uint64_t>(info.st_size), time,
                              static_cast<std::uint64_t>(info.st_dev),
                              static_cast<std::uint64_t>(info.st_ino), change)};
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

} // namespace

// What each platform object keeps for itself.
struct SystemPlatform::Parts {
    ChildProcesses children;
    TemporarySweeper sweeper;
};

SystemPlatform::SystemPlatform() : parts_(std::make_unique<Parts>()) {}

SystemPlatform::~SystemPlatform() = default;

void SystemPlatform::reportThrough(Diagnostics* diagnostics) {
    parts_->children.reportThrough(diagnostics);
}

std::uint64_t SystemPlatform::startProcess(const std::string& commandLine,
                                           FoundPrograms& programs) {
    return parts_->children.start(commandLine, programs);
}

EndedProcess SystemPlatform::waitForProcess() {
    return parts_->children.wait();
}

std::optional<EndedProcess> SystemPlatform::waitForProcessOr(std::intptr_t wake, int milliseconds) {
    return parts_->children.waitOr(static_cast<int>(wake), milliseconds);
}

std::uint32_t SystemPlatform::runProcess(const std::string& commandLine, FoundPrograms& programs) {
    std::fflush(stdout);
    std::uint32_t exitCode = 0;
    const int error = launchAndWait(commandLine, programs, exitCode);
    return error == 0 ? exitCode : refused(commandLine, error);
}

FileTime SystemPlatform::fileTime(const std::string& path) {
    if (!hasWildcard(path)) {
        return fileTimeOf(path.c_str());
    }
    const std::optional<std::string> match = firstWildcardMatch(path);
    return match ? fileTimeOf((directoryPart(path) + *match).c_str()) : 0;
}

FileStamp SystemPlatform::fileStamp(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? stampOf(info) : FileStamp();
}

std::optional<FileDigest> SystemPlatform::fileDigest(const std::string& path) {
    // Not waiting to open a named pipe; and only regular files are read, since
    // a pipe or a device could be read forever.
    const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat before;
    if (file.get() < 0 || fstat(file.get(), &before) != 0 || !S_ISREG(before.st_mode)) {
        return std::nullopt;
    }
    ContentHash hash;
    unsigned char chunk[65536];
    // Read up to the size it had: a file that grew meanwhile shows in its
    // stamp afterwards, so the read that would find its end is spared.
    std::uint64_t total = 0;
    const auto size = static_cast<std::uint64_t>(before.st_size);
    while (size == 0 || total < size) {
        const ssize_t got = read(file.get(), chunk, sizeof chunk);
        if (got > 0) {
            hash.add(chunk, static_cast<std::size_t>(got));
            total += static_cast<std::uint64_t>(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            return std::nullopt;
        }
    }
    FileDigest digest;
    digest.stamp = stampOf(before);
    digest.digest = hash.value();
    struct stat after;
    if (fstat(file.get(), &after) != 0 || stampOf(after) != digest.stamp) {
        digest.stamp.version = 0;
    }
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    digest.readAt = fileTimeFromUnix(now.tv_sec, now.tv_nsec);
    return digest;
}

EntryKind SystemPlatform::entryKind(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        return EntryKind::None;
    }
    if (S_ISLNK(info.st_mode)) {
        return EntryKind::Link;
    }
    return S_ISDIR(info.st_mode) ? EntryKind::Directory : EntryKind::File;
}

bool SystemPlatform::removeFile(const std::string& path) {
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

void SystemPlatform::sweepTemporaries() {
    parts_->sweeper.sweep();
}

Platform& systemPlatform() {
    static SystemPlatform platform;
    return platform;
}
