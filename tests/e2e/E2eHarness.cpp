#include "e2e/E2eHarness.h"

#include <dirent.h>
#include <fcntl.h>
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

namespace e2e {

namespace {

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

void Sandbox::setTime(const std::string& name, std::time_t seconds) const {
    struct timespec times[2];
    times[0].tv_sec = seconds;
    times[0].tv_nsec = 0;
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

std::vector<std::string> Sandbox::defaultEnvironment() {
    return {"PATH=/usr/local/bin:/usr/bin:/bin"};
}

Result Sandbox::run(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment) const {
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
    std::vector<char*> envp;
    for (const std::string& entry : environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], 1);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        if (chdir(path_.c_str()) != 0) {
            _exit(126);
        }
        execve(TARVO_BINARY, argv.data(), envp.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    Result result;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (got > 0) {
            result.output.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.status = 128 + WTERMSIG(status);
    }
    return result;
}

} // namespace e2e
