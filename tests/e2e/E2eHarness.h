#pragma once

#include <ctime>
#include <map>
#include <string>
#include <vector>

// Runs the built tarvo in a fresh temporary directory with a controlled environment.
namespace e2e {

struct Result {
    std::string output; // standard output, byte for byte
    int status = -1;    // exit status; 128 + signal when killed
    std::string errors; // standard error, when RunOptions::keepErrors asked for it
};

class Running;

// How a run is started, beyond its arguments and environment.
struct RunOptions {
    // Without the privileges of root when the tests run as root, so that
    // permission bits (a read-only directory, an unreadable file) take effect;
    // the sandbox must then be open to others (setMode).
    bool unprivileged = false;
    // A file that receives standard output instead of the result (such as
    // /dev/full); the result's output stays empty.
    std::string standardOutput;
    // A file (such as a terminal's) that receives standard error; empty: none.
    std::string standardError;
    // Keeps standard error (notes, explanations) in Result::errors.
    bool keepErrors = false;
    // Bytes a file may grow to (0: no limit). A write beyond it fails, and
    // raises SIGXFSZ unless that signal is ignored, as a caller can hand on.
    long fileSizeLimit = 0;
    bool fileSizeSignalIgnored = false;
    // Starts tarvo with SIGCHLD ignored, as some CI runners and daemons do.
    bool childSignalIgnored = false;
    // The soft and hard limits of open descriptors (0: as the tests have them).
    long descriptors = 0;
    long descriptorsHard = 0;
    // Bytes of address space tarvo may take (0: no limit), so that a run that
    // would grow without end fails instead. Not applied under AddressSanitizer,
    // which reserves far more from the start.
    long memoryLimit = 0;
};

class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& path() const { return path_; }
    std::string pathOf(const std::string& name) const { return path_ + "/" + name; }

    void write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;
    void makeDirectory(const std::string& name) const;
    // Sets the permission bits of a file or directory ("." for the sandbox itself).
    void setMode(const std::string& name, unsigned mode) const;
    // Sets a file's modification time, in seconds (and nanoseconds) since 1970.
    void setTime(const std::string& name, std::time_t seconds, long nanoseconds = 0) const;
    std::time_t modificationTime(const std::string& name) const;
    // Every entry below the sandbox, by relative path, with what a run could
    // change about it: kind, permission bits, modification time, and the
    // content of a file or the target of a symbolic link.
    std::map<std::string, std::string> snapshot() const;
    // Names in the directory, sorted, without "." and "..".
    std::vector<std::string> list(const std::string& directory = ".") const;

    // Runs tarvo with the arguments; the environment is exactly `environment`.
    Result run(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = defaultEnvironment()) const;
    Result run(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment, const RunOptions& options) const;
    // run() with RunOptions::unprivileged.
    Result
    runUnprivileged(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment = defaultEnvironment()) const;
    // Starts tarvo without waiting for it, in a process group of its own.
    Running start(const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment = defaultEnvironment(),
                  const RunOptions& options = RunOptions()) const;

    static std::vector<std::string> defaultEnvironment();
    // run() with RunOptions::keepErrors and the default environment.
    Result runKeepingErrors(const std::vector<std::string>& arguments) const;

  private:
    // Beside the sandbox, so that it never shows among its files.
    std::string errorsPath() const { return path_ + ".stderr"; }
    int spawn(const std::vector<std::string>& arguments,
              const std::vector<std::string>& environment, const RunOptions& options, bool ownGroup,
              int& outputFd) const;

    std::string path_;
};

// A tarvo started by Sandbox::start. Its output is collected by finish(), so a
// run that writes more than a pipe holds must be finished before it can end.
class Running {
  public:
    Running(int processId, int outputFd) : processId_(processId), outputFd_(outputFd) {}
    Running(Running&& other) noexcept;
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
    Running& operator=(Running&&) = delete;
    // Kills a run that was never finished, so that a failed test leaves nothing running.
    ~Running();

    // Sends the signal to tarvo alone, or to its whole process group (as a
    // terminal does with Ctrl-C).
    void signal(int signalNumber) const;
    void signalGroup(int signalNumber) const;
    // Closes the reading end of tarvo's standard output, as a reader that quits
    // early does (head, less).
    void closeOutput();
    // Waits until the file exists; false when tarvo has ended first, or when
    // `seconds` (0: no limit) have passed, for a run that may hang.
    bool waitForFile(const std::string& path, int seconds = 0);
    // Waits until tarvo has stopped (Ctrl-Z); false when it has ended instead.
    bool waitUntilStopped();
    // Waits until tarvo's standard output holds at least this many bytes that
    // have not been read; false when tarvo has ended first. With more written
    // at once than the pipe takes, tarvo stays in that write meanwhile.
    bool waitForOutput(int bytes);
    Result finish();

  private:
    int processId_;
    int outputFd_;
    bool ended_ = false;
    int status_ = 0;
};

// The status of a run that could not give up root's privileges (no
// permission to change user, as in some containers); such a test is skipped.
constexpr int kCannotDropPrivileges = 125;

// A fixed base time for file-time tests (2024-01-01 00:00:00 UTC).
constexpr std::time_t kBaseTime = 1704067200;

const char* const kBanner = "TARVO version 1.0\n\n";

} // namespace e2e
