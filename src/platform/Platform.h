#pragma once

#include "platform/FileStamp.h"
#include "platform/FileTime.h"
#include "platform/OutputSpool.h"
#include "platform/TemporaryFile.h"

#include <cstdint>
#include <optional>
#include <string>

class Diagnostics;
class FoundPrograms;

// A process started by startProcess that has ended, with what it wrote.
struct EndedProcess {
    std::uint64_t id = 0;
    std::uint32_t exitCode = 0;
    OutputSpool output; // its standard output
    OutputSpool errors; // its standard error
};

// What a path names itself, a symbolic link not followed.
enum class EntryKind { None, File, Directory, Link };

// Whether the file system takes names that differ only in the letter case of
// A-Z for one name.
#ifdef _WIN32
constexpr bool kFileNamesIgnoreCase = true;
#else
constexpr bool kFileNamesIgnoreCase = false;
#endif

// The tool's whole contact with the operating system besides standard output
// and buffered file streams. A real implementation exists per platform; tests
// use a fake with a virtual clock and a record of the commands started.
class Platform {
  public:
    virtual ~Platform() = default;

    // Runs one command line and returns its exit code. Standard output is
    // flushed before the child starts. The program is started by the path
    // that `programs`, the run's, has found for it.
    virtual std::uint32_t runProcess(const std::string& commandLine, FoundPrograms& programs) = 0;
    // Starts a command line as runProcess does, but without waiting for it, and
    // with its standard output and standard error collected; returns its id. A
    // command that cannot be started ends at once, the tool's message its output.
    virtual std::uint64_t startProcess(const std::string& commandLine, FoundPrograms& programs) = 0;
    // Waits until one of the processes started has ended and returns it. Called
    // only while one is running.
    virtual EndedProcess waitForProcess() = 0;
    // Waits as waitForProcess does, but returns nothing once the descriptor
    // `wake` (-1: none) turns readable first, or once `milliseconds` (-1: no
    // limit) have passed. Where the platform cannot watch the descriptor, or
    // keep time, only a process's end ends the wait.
    virtual std::optional<EndedProcess> waitForProcessOr(std::intptr_t wake, int milliseconds) {
        static_cast<void>(wake);
        static_cast<void>(milliseconds);
        return waitForProcess();
    }
    // The last-write time; 0 when nothing matches. The path may hold * and ?
    // wildcards: the first match counts.
    virtual FileTime fileTime(const std::string& path) = 0;
    // The file's stamp, taken in one query; no wildcards.
    virtual FileStamp fileStamp(const std::string& path) = 0;
    // Reads a regular file through, in chunks, and returns its digest; nothing
    // when it is missing or cannot be read.
    virtual std::optional<FileDigest> fileDigest(const std::string& path) = 0;
    // What stands at the path itself: a symbolic link is not followed.
    virtual EntryKind entryKind(const std::string& path) = 0;
    // False when the file is still there: a file that does not exist counts
    // as removed. A symbolic link is removed itself.
    virtual bool removeFile(const std::string& path) = 0;
    // Sets the last-write time of an existing file, or of a symbolic link
    // itself; false when it cannot. A time older than the file system holds
    // becomes its oldest one.
    virtual bool setFileTime(const std::string& path, FileTime time) = 0;
    // A fresh temporary file "tarvoN.$$$" (N from 0 to 999) in the current
    // directory, held by the run until it is released.
    virtual TemporaryFile createTemporaryFile(TemporaryFile::Content content) = 0;
    // The same in the system's directory for temporary files, for a run that
    // must leave the current directory untouched.
    virtual TemporaryFile createPrivateTemporaryFile(TemporaryFile::Content content) = 0;
    // The name that createTemporaryFile would give now; nothing is created.
    virtual std::string freeTemporaryName() = 0;
    // Removes every entry of the current directory matching "tarvo*.$$$",
    // except the files that a live run holds.
    virtual void sweepTemporaries() = 0;
    // Where the platform notes what it does differently from what was asked
    // (fewer commands at once, say): the run's diagnostics while it lasts,
    // null once it has ended. Without them it notes nothing.
    virtual void reportThrough(Diagnostics* diagnostics) { static_cast<void>(diagnostics); }
};

// The platform the tool runs on.
Platform& systemPlatform();
