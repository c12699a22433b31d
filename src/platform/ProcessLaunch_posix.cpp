#include "platform/ProcessLaunch_posix.h"

#include "platform/FoundPrograms.h"
#include "platform/Interrupts_posix.h"
#include "platform/ShellQuoting.h"
#include "text/Words.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

// A program that is not found may be a shell built-in, and a file that is no
// program the system starts may be a script: the shell has its go at them.
bool shellMayStart(int error) {
    return error == ENOENT || error == ENOTDIR || error == ENOEXEC;
}

class SpawnAttributes {
  public:
    SpawnAttributes() : error_(posix_spawnattr_init(&attributes_)) {}
    ~SpawnAttributes() {
        if (made_) {
            posix_spawnattr_destroy(&attributes_);
        }
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    // Caught signals go back to their default action anyway as the program
    // starts; ignored ones were ignored when the tool started, so the child
    // gets the dispositions that the tool started with too.
    void setUp(bool ownGroup) {
        short flags = POSIX_SPAWN_SETSIGMASK;
        if (ownGroup) {
            flags |= POSIX_SPAWN_SETPGROUP;
            keep(posix_spawnattr_setpgroup(&attributes_, 0));
        }
        keep(posix_spawnattr_setsigmask(&attributes_, &startingSignalMask()));
        keep(posix_spawnattr_setflags(&attributes_, flags));
    }

    const posix_spawnattr_t* get() const { return &attributes_; }
    int error() const { return error_; }

  private:
    void keep(int error) {
        if (error_ == 0) {
            error_ = error;
        }
    }

    posix_spawnattr_t attributes_;
    int error_; // the first failure
    const bool made_ = error_ == 0;
};

class FileActions {
  public:
    FileActions() : error_(posix_spawn_file_actions_init(&actions_)) {}
    ~FileActions() {
        if (made_) {
            posix_spawn_file_actions_destroy(&actions_);
        }
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    void setUp(const ChildStreams& streams) {
        if (streams.nullInput) {
            keep(posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0));
        }
        if (streams.output >= 0) {
            keep(posix_spawn_file_actions_adddup2(&actions_, streams.output, 1));
        }
        if (streams.error >= 0) {
            keep(posix_spawn_file_actions_adddup2(&actions_, streams.error, 2));
        }
    }

    const posix_spawn_file_actions_t* get() const { return &actions_; }
    int error() const { return error_; }

  private:
    void keep(int error) {
        if (error_ == 0) {
            error_ = error;
        }
    }

    posix_spawn_file_actions_t actions_;
    int error_; // the first failure
    const bool made_ = error_ == 0;
};

std::vector<char*> argumentsOf(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (const std::string& word : words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

// `path` is the program's, or null for the search of the path to find it.
int spawn(const char* path, const std::vector<std::string>& words, const FileActions& actions,
          const SpawnAttributes& attributes, pid_t& child) {
    std::vector<char*> argv = argumentsOf(words);
    return path != nullptr
               ? posix_spawn(&child, path, actions.get(), attributes.get(), argv.data(), environ)
               : posix_spawnp(&child, argv[0], actions.get(), attributes.get(), argv.data(),
                              environ);
}

// The forked child, up to the program: what spawn's attributes and actions do,
// and SIGCHLD ignored, which they cannot ask for. tarvo runs one thread, so
// the child may search the path as spawn does. The error of a start that
// fails goes to `report`.
[[noreturn]] void startForked(const char* path, char* const* argv, const ChildStreams& streams,
                              bool ownGroup, int report) {
    struct sigaction action;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN &&
            action.sa_handler != SIG_DFL) {
            action.sa_handler = SIG_DFL;
            action.sa_flags = 0;
            sigaction(signal, &action, nullptr);
        }
    }
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &action, nullptr);
    bool ready = !ownGroup || setpgid(0, 0) == 0;
    if (ready && streams.nullInput) {
        const int input = open("/dev/null", O_RDONLY);
        ready = input >= 0 && dup2(input, 0) == 0;
        if (input > 0) {
            close(input);
        }
    }
    ready = ready && (streams.output < 0 || dup2(streams.output, 1) == 1);
    ready = ready && (streams.error < 0 || dup2(streams.error, 2) == 2);
    if (ready) {
        sigprocmask(SIG_SETMASK, &startingSignalMask(), nullptr);
        if (path != nullptr) {
            execv(path, argv);
        } else {
            execvp(argv[0], argv);
        }
    }
    const int error = errno;
    const ssize_t written = write(report, &error, sizeof error);
    static_cast<void>(written);
    _exit(127);
}

// Starts the program as spawn does, but forked, for a child that must start
// with SIGCHLD ignored.
int startWithChildSignalIgnored(const char* path, const std::vector<std::string>& words,
                                const ChildStreams& streams, bool ownGroup, pid_t& child) {
    std::vector<char*> argv = argumentsOf(words);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return errno;
    }
    // Until the child has its own handlers, no signal may run tarvo's there.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    sigprocmask(SIG_SETMASK, &all, &previous);
    const pid_t forked = fork();
    if (forked == 0) {
        close(report[0]);
        startForked(path, argv.data(), streams, ownGroup, report[1]);
    }
    const int forkError = errno;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    close(report[1]);
    if (forked < 0) {
        close(report[0]);
        return forkError;
    }
    int error = 0;
    ssize_t got;
    while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof error)) {
        while (waitpid(forked, nullptr, 0) < 0 && errno == EINTR) {
        }
        return error;
    }
    child = forked;
    return 0;
}

int start(const char* path, const std::vector<std::string>& words, const ChildStreams& streams,
          bool ownGroup, const FileActions& actions, const SpawnAttributes& attributes,
          pid_t& child) {
    return childSignalIgnoredAtStart()
               ? startWithChildSignalIgnored(path, words, streams, ownGroup, child)
               : spawn(path, words, actions, attributes, child);
}

// Starts the program by the path found for it once, which spares a search of
// the path at every command; when that fails, the program may have moved or
// gone since, and the start searches for it as it would have.
int startProgram(const std::vector<std::string>& words, FoundPrograms& programs,
                 const ChildStreams& streams, bool ownGroup, const FileActions& actions,
                 const SpawnAttributes& attributes, pid_t& child) {
    const std::string* path = programs.find(words[0]);
    if (path != nullptr &&
        start(path->c_str(), words, streams, ownGroup, actions, attributes, child) == 0) {
        return 0;
    }
    if (path != nullptr) {
        programs.forget(words[0]);
    }
    return start(nullptr, words, streams, ownGroup, actions, attributes, child);
}

} // namespace

int launchProcess(const std::string& commandLine, FoundPrograms& programs,
                  const ChildStreams& streams, bool ownGroup, pid_t& child) {
    FileActions actions;
    actions.setUp(streams);
    if (actions.error() != 0) {
        return actions.error();
    }
    SpawnAttributes attributes;
    attributes.setUp(ownGroup);
    if (attributes.error() != 0) {
        return attributes.error();
    }
    int error = ENOENT;
    if (!needsShell(commandLine)) {
        const std::vector<std::string> words = splitWords(commandLine);
        if (!words.empty()) {
            error = startProgram(words, programs, streams, ownGroup, actions, attributes, child);
        }
    }
    if (error != 0 && shellMayStart(error)) {
        error = start(nullptr, {"/bin/sh", "-c", shellLine(commandLine)}, streams, ownGroup,
                      actions, attributes, child);
    }
    return error;
}

std::uint32_t exitCodeOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        return static_cast<std::uint32_t>(WEXITSTATUS(waitStatus));
    }
    if (WIFSIGNALED(waitStatus)) {
        return 128 + static_cast<std::uint32_t>(WTERMSIG(waitStatus));
    }
    return 1;
}
