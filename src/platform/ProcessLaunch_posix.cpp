#include "platform/ProcessLaunch_posix.h"

#include "platform/Interrupts_posix.h"
#include "platform/ShellQuoting.h"
#include "text/Words.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
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

int spawn(const std::vector<std::string>& words, const FileActions& actions,
          const SpawnAttributes& attributes, pid_t& child) {
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (const std::string& word : words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    return posix_spawnp(&child, argv[0], actions.get(), attributes.get(), argv.data(), environ);
}

} // namespace

int launchProcess(const std::string& commandLine, const ChildStreams& streams, bool ownGroup,
                  pid_t& child) {
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
            error = spawn(words, actions, attributes, child);
        }
    }
    if (error != 0 && shellMayStart(error)) {
        error = spawn({"/bin/sh", "-c", shellLine(commandLine)}, actions, attributes, child);
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
