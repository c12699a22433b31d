#include "platform/SystemPlatform.h"

#include "platform/ChildProcesses_posix.h"
#include "platform/FileTime.h"
#include "platform/Interrupts.h"
#include "platform/Interrupts_posix.h"
#include "platform/LastWriteTime.h"
#include "platform/RefusedCommand.h"
#include "platform/ShellQuoting.h"
#include "platform/TempNames.h"
#include "platform/TemporarySweeper_posix.h"
#include "text/ErrorReport.h"
#include "text/Words.h"

#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

extern char** environ;

namespace {

bool hasWildcard(const std::string& path) {
    for (const char c : path) {
        if (c == '*' || c == '?') {
            return true;
        }
    }
    return false;
}

FileTime fileTimeOf(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0) {
        return 0;
    }
    return fileTimeFromUnix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

// Starts argv and waits for it. Returns 0, or the error number when the
// program could not be started.
int spawnAndWait(const std::vector<std::string>& words, std::uint32_t& exitCode) {
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (const std::string& word : words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    // Interrupts are held back while the child is started and noted, so that
    // one arriving meanwhile is passed on to it rather than lost.
    const sigset_t& interrupts = interruptSignals();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &interrupts, &previous);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigmask(&attributes, &previous);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t child = 0;
    const int failed = posix_spawnp(&child, argv[0], nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (failed == 0) {
        noteChildStarted(child);
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (failed != 0) {
        return failed;
    }
    int status = 0;
    bool waited = true;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            waited = false;
            break;
        }
    }
    sigprocmask(SIG_BLOCK, &interrupts, nullptr);
    noteChildEnded();
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (!waited) {
        exitCode = 1;
    } else if (WIFEXITED(status)) {
        exitCode = static_cast<std::uint32_t>(WEXITSTATUS(status));
    } else if (WIFSIGNALED(status)) {
        exitCode = 128 + static_cast<std::uint32_t>(WTERMSIG(status));
    } else {
        exitCode = 1;
    }
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

} // namespace

SystemPlatform::SystemPlatform() : children_(std::make_unique<ChildProcesses>()) {}

SystemPlatform::~SystemPlatform() = default;

std::uint64_t SystemPlatform::startProcess(const std::string& commandLine) {
    return children_->start(commandLine);
}

EndedProcess SystemPlatform::waitForProcess() {
    return children_->wait();
}

std::uint32_t SystemPlatform::runProcess(const std::string& commandLine) {
    std::fflush(stdout);
    std::uint32_t exitCode = 0;
    if (!needsShell(commandLine)) {
        const std::vector<std::string> words = splitWords(commandLine);
        if (!words.empty()) {
            const int error = spawnAndWait(words, exitCode);
            if (error == 0) {
                return exitCode;
            }
            if (!shellMayStart(error)) {
                return refused(commandLine, error);
            }
        }
    }
    const std::vector<std::string> shell = {"/bin/sh", "-c", shellLine(commandLine)};
    const int error = spawnAndWait(shell, exitCode);
    return error == 0 ? exitCode : refused(commandLine, error);
}

FileTime SystemPlatform::fileTime(const std::string& path) {
    if (!hasWildcard(path)) {
        return fileTimeOf(path.c_str());
    }
    const std::optional<std::string> match = firstWildcardMatch(path);
    return match ? fileTimeOf((directoryPart(path) + *match).c_str()) : 0;
}

void SystemPlatform::removeFile(const std::string& path) {
    unlink(path.c_str());
}

bool SystemPlatform::setFileTime(const std::string& path, FileTime time) {
    return setLastWriteTime(path, time);
}

std::string SystemPlatform::freeTemporaryName() {
    return TemporaryFile::freeName(std::string());
}

TemporaryFile SystemPlatform::createTemporaryFile(TemporaryFile::Content content) {
    return TemporaryFile::create(std::string(), content);
}

void SystemPlatform::sweepTemporaries() {
    static TemporarySweeper sweeper;
    sweeper.sweep();
}

Platform& systemPlatform() {
    static SystemPlatform platform;
    return platform;
}
