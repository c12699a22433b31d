#include "e2e/E2eHarness.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <time.h>

namespace e2e {

namespace {

constexpr uid_t kNobody = 65534;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

void removeTree(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        chmod(path.c_str(), 0700);
        if (DIR* directory = opendir(path.c_str())) {
            while (const dirent* entry = readdir(directory)) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                    removeTree(path + "/" + entry->d_name);
                }
            }
            closedir(directory);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

} // namespace

Sandbox::Sandbox() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tarvo-e2e-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = buffer.data();
}

Sandbox::~Sandbox() {
    removeTree(path_);
}

void Sandbox::write(const std::string& name, const std::string& content) const {
    std::ofstream out(pathOf(name), std::ios::binary | std::ios::trunc);
    out << content;
}

std::string Sandbox::read(const std::string& name) const {
    std::ifstream in(pathOf(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Sandbox::exists(const std::string& name) const {
    struct stat info;
    return lstat(pathOf(name).c_str(), &info) == 0;
}

void Sandbox::makeDirectory(const std::string& name) const {
    mkdir(pathOf(name).c_str(), 0755);
}

void Sandbox::setMode(const std::string& name, unsigned mode) const {
    if (chmod(pathOf(name).c_str(), static_cast<mode_t>(mode)) != 0) {
        throw std::runtime_error("chmod failed for " + name);
    }
}

void Sandbox::setTime(const std::string& name, std::time_t seconds, long nanoseconds) const {
    struct timespec times[2];
    times[0].tv_sec = seconds;
    times[0].tv_nsec = nanoseconds;
    times[1] = times[0];
    if (utimensat(AT_FDCWD, pathOf(name).c_str(), times, 0) != 0) {
        throw std::runtime_error("utimensat failed for " + name);
    }
}

std::time_t Sandbox::modificationTime(const std::string& name) const {
    struct stat info;
    if (stat(pathOf(name).c_str(), &info) != 0) {
        return 0;
    }
    return info.st_mtime;
}

std::vector<std::string> Sandbox::list(const std::string& directory) const {
    std::vector<std::string> names;
    if (DIR* handle = opendir(pathOf(directory).c_str())) {
        while (const dirent* entry = readdir(handle)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                names.emplace_back(entry->d_name);
            }
        }
        closedir(handle);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> Sandbox::snapshot() const {
    std::map<std::string, std::string> entries;
    std::vector<std::string> pending = {""};
    while (!pending.empty()) {
        const std::string directory = pending.back();
        pending.pop_back();
        for (const std::string& name : list(directory.empty() ? "." : directory)) {
            const std::string relative = directory.empty() ? name : directory + "/" + name;
            struct stat info;
            if (lstat(pathOf(relative).c_str(), &info) != 0) {
                continue;
            }
            std::ostringstream text;
            text << std::oct << (info.st_mode & 07777) << std::dec << " " << info.st_mtim.tv_sec
                 << "." << info.st_mtim.tv_nsec << " ";
            if (S_ISDIR(info.st_mode)) {
                text << "directory";
                pending.push_back(relative);
            } else if (S_ISLNK(info.st_mode)) {
                std::vector<char> target(4096);
                const ssize_t got =
                    readlink(pathOf(relative).c_str(), target.data(), target.size());
                text << "link to " << std::string(target.data(), got > 0 ? got : 0);
            } else if (S_ISREG(info.st_mode)) {
                text << "file " << read(relative);
            } else {
                text << "special";
            }
            entries[relative] = text.str();
        }
    }
    return entries;
}

std::vector<std::string> Sandbox::defaultEnvironment() {
    return {"PATH=/usr/local/bin:/usr/bin:/bin"};
}

int Sandbox::spawn(const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment, const RunOptions& options,
                   bool ownGroup, int& outputFd) const {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(TARVO_BINARY));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<std::string> fullEnvironment = environment;
    // Under the sanitizers, tarvo must report as strictly as the tests themselves do.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) {
            fullEnvironment.push_back(std::string(name) + "=" + value);
        }
    }
    std::vector<char*> envp;
    for (const std::string& entry : fullEnvironment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        dup2(pipeEnds[1], 1);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (!options.standardOutput.empty()) {
            const int out =
                open(options.standardOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0) {
                _exit(124);
            }
            dup2(out, 1);
            close(out);
        }
        if (!options.standardError.empty()) {
            const int err = open(options.standardError.c_str(), O_WRONLY | O_NOCTTY);
            if (err < 0) {
                _exit(124);
            }
            dup2(err, 2);
            close(err);
        }
        if (options.keepErrors) {
            const int err = open(errorsPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err < 0) {
                _exit(124);
            }
            dup2(err, 2);
            close(err);
        }
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        if (ownGroup) {
            setpgid(0, 0);
        }
        // Signals the test process ignores or blocks must reach tarvo as usual.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
            ::signal(signalNumber, SIG_DFL);
        }
        if (options.descriptors > 0) {
            const struct rlimit limit = {static_cast<rlim_t>(options.descriptors),
                                         static_cast<rlim_t>(options.descriptorsHard)};
            setrlimit(RLIMIT_NOFILE, &limit);
        }
        if (options.childSignalIgnored) {
            ::signal(SIGCHLD, SIG_IGN);
        }
        // A run ended by SIGQUIT or the like leaves no core file in the sandbox.
        const struct rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        if (options.fileSizeLimit > 0) {
            if (options.fileSizeSignalIgnored) {
                ::signal(SIGXFSZ, SIG_IGN);
            }
            const struct rlimit limit = {static_cast<rlim_t>(options.fileSizeLimit),
                                         static_cast<rlim_t>(options.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.memoryLimit > 0 && !kAddressSanitizer) {
            const struct rlimit limit = {static_cast<rlim_t>(options.memoryLimit),
                                         static_cast<rlim_t>(options.memoryLimit)};
            setrlimit(RLIMIT_AS, &limit);
        }
        if (options.unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(kCannotDropPrivileges);
        }
        if (chdir(path_.c_str()) != 0) {
            _exit(126);
        }
        execve(TARVO_BINARY, argv.data(), envp.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    outputFd = pipeEnds[0];
    return child;
}

Result Sandbox::run(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment) const {
    return run(arguments, environment, RunOptions());
}

Result Sandbox::run(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment, const RunOptions& options) const {
    int outputFd = -1;
    const int child = spawn(arguments, environment, options, false, outputFd);
    Result result = Running(child, outputFd).finish();
    if (options.keepErrors) {
        std::ifstream in(errorsPath(), std::ios::binary);
        std::ostringstream errors;
        errors << in.rdbuf();
        result.errors = errors.str();
        std::remove(errorsPath().c_str());
    }
    return result;
}

Result Sandbox::runKeepingErrors(const std::vector<std::string>& arguments) const {
    RunOptions options;
    options.keepErrors = true;
    return run(arguments, defaultEnvironment(), options);
}

Result Sandbox::runUnprivileged(const std::vector<std::string>& arguments,
                                const std::vector<std::string>& environment) const {
    RunOptions options;
    options.unprivileged = true;
    return run(arguments, environment, options);
}

Running Sandbox::start(const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment,
                       const RunOptions& options) const {
    int outputFd = -1;
    const int child = spawn(arguments, environment, options, true, outputFd);
    // Set here as well, so that the group exists before the caller signals it.
    setpgid(child, child);
    return Running(child, outputFd);
}

Running::Running(Running&& other) noexcept
    : processId_(other.processId_), outputFd_(other.outputFd_), ended_(other.ended_),
      status_(other.status_) {
    other.processId_ = -1;
    other.outputFd_ = -1;
}

Running::~Running() {
    if (processId_ > 0 && !ended_) {
        kill(-processId_, SIGKILL);
        kill(processId_, SIGKILL);
        while (waitpid(processId_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (outputFd_ >= 0) {
        close(outputFd_);
    }
}

void Running::signal(int signalNumber) const {
    kill(processId_, signalNumber);
}

void Running::signalGroup(int signalNumber) const {
    kill(-processId_, signalNumber);
}

void Running::closeOutput() {
    close(outputFd_);
    outputFd_ = -1;
}

bool Running::waitForFile(const std::string& path, int seconds) {
    struct stat info;
    for (long waited = 0; lstat(path.c_str(), &info) != 0; ++waited) {
        if (seconds > 0 && waited >= seconds * 200L) {
            return false;
        }
        if (!ended_) {
            const pid_t done = waitpid(processId_, &status_, WNOHANG);
            if (done == processId_) {
                ended_ = true;
            }
        }
        if (ended_) {
            return lstat(path.c_str(), &info) == 0;
        }
        const struct timespec pause = {0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    return true;
}

bool Running::waitUntilStopped() {
    int status = 0;
    while (waitpid(processId_, &status, WUNTRACED) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    if (WIFSTOPPED(status)) {
        return true;
    }
    ended_ = true;
    status_ = status;
    return false;
}

bool Running::waitForOutput(int bytes) {
    for (;;) {
        int waiting = 0;
        if (ioctl(outputFd_, FIONREAD, &waiting) == 0 && waiting >= bytes) {
            return true;
        }
        if (!ended_ && waitpid(processId_, &status_, WNOHANG) == processId_) {
            ended_ = true;
        }
        if (ended_) {
            return false;
        }
        const struct timespec pause = {0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

Result Running::finish() {
    Result result;
    char buffer[65536];
    while (outputFd_ >= 0) {
        const ssize_t got = ::read(outputFd_, buffer, sizeof buffer);
        if (got > 0) {
            result.output.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    if (outputFd_ >= 0) {
        close(outputFd_);
        outputFd_ = -1;
    }
    if (!ended_) {
        while (waitpid(processId_, &status_, 0) < 0 && errno == EINTR) {
        }
        ended_ = true;
    }
    if (WIFEXITED(status_)) {
        result.status = WEXITSTATUS(status_);
    } else if (WIFSIGNALED(status_)) {
        result.status = 128 + WTERMSIG(status_);
    }
    return result;
}

} // namespace e2e
