#include "platform/TemporaryFile.h"

#include "platform/Interrupts.h"
#include "platform/SignalBlock_posix.h"
#include "platform/TempNames.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string firstFreeName(const std::string& directory) {
    std::string name;
    findTemporaryName(directory, name, [](const std::string& name) { return !exists(name); });
    return name;
}

// Waits only for a sweep that came first and removes the file. Without locks
// on the file system, the file is merely not protected.
void lockFile(int fd) {
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

bool isNamed(int fd, const std::string& name) {
    struct stat opened;
    struct stat named;
    return fstat(fd, &opened) == 0 && lstat(name.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// The file under a private name, locked before it gets its real one. The
// private name matches the sweep's pattern, so that the file is swept should
// the run die before it goes.
int createLockedPrivateFile(const std::string& directory, std::string& name) {
    static unsigned long serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = directory + "tarvo-" + std::to_string(getpid()) + "-" + std::to_string(serial++) +
               ".$$$";
        const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            lockFile(fd);
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

enum class Naming { Named, Taken, Swept, Failed, NoLinks };

Naming giveName(const std::string& privateName, const std::string& name) {
    if (link(privateName.c_str(), name.c_str()) == 0) {
        return Naming::Named;
    }
    switch (errno) {
    case EEXIST:
        return Naming::Taken;
    case ENOENT:
        return exists(privateName) ? Naming::Failed : Naming::Swept;
    case EPERM:
    case EMLINK:
#ifdef ENOTSUP
    case ENOTSUP:
#endif
#if defined(EOPNOTSUPP) && EOPNOTSUPP != ENOTSUP
    case EOPNOTSUPP:
#endif
        return Naming::NoLinks;
    default:
        return Naming::Failed;
    }
}

// The first free name for the locked file, so that the name never exists
// unlocked. With every name taken, the last one is used anew if no live run
// holds it: a link there is replaced, never written through.
Naming nameFirstFree(const std::string& privateName, const std::string& directory,
                     std::string& name) {
    Naming naming = Naming::Taken;
    if (findTemporaryName(directory, name, [&](const std::string& name) {
            naming = giveName(privateName, name);
            return naming != Naming::Taken;
        })) {
        return naming;
    }
    return TemporaryFile::removeUnlessHeld(name.c_str()) ? giveName(privateName, name)
                                                         : Naming::Taken;
}

// Where the file system has no hard links, the file is created under its name
// and locked at once; a sweep that takes it in between leaves the name free
// for the next try.
int createUnderName(const std::string& directory, std::string& name) {
    int held = -1;
    findTemporaryName(directory, name, [&held](const std::string& name) {
        const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            return errno != EEXIST;
        }
        lockFile(fd);
        if (isNamed(fd, name)) {
            held = fd;
            return true;
        }
        close(fd);
        return false;
    });
    return held;
}

// Creates, locks and names the file; -1 when that fails.
int createHeld(const std::string& directory, std::string& name) {
    // A file swept before it had its name is made anew; a few times at most.
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string privateName;
        const int fd = createLockedPrivateFile(directory, privateName);
        if (fd < 0) {
            return -1;
        }
        const Naming naming = nameFirstFree(privateName, directory, name);
        unlink(privateName.c_str());
        if (naming == Naming::Named) {
            return fd;
        }
        close(fd);
        if (naming == Naming::NoLinks) {
            return createUnderName(directory, name);
        }
        if (naming != Naming::Swept) {
            return -1;
        }
    }
    return -1;
}

} // namespace

std::string TemporaryFile::freeName(const std::string& directory) {
    return firstFreeName(directory);
}

TemporaryFile TemporaryFile::create(const std::string& directory, Content) {
    TemporaryFile file;
    // An interrupt meanwhile waits until the file is one to remove.
    SignalBlock block;
    const int fd = createHeld(directory, file.name_);
    if (fd < 0) {
        if (file.name_.empty()) {
            file.name_ = firstFreeName(directory);
        }
        return file;
    }
    const int streamFd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    file.stream_ = streamFd < 0 ? nullptr : fdopen(streamFd, "w+");
    if (file.stream_ == nullptr) {
        if (streamFd >= 0) {
            close(streamFd);
        }
        unlink(file.name_.c_str());
        close(fd);
        return file;
    }
    file.hold_ = fd;
    addFileToRemoveOnInterrupt(file.name_, fd);
    return file;
}

bool TemporaryFile::removeUnlessHeld(const char* path) {
    struct stat named;
    if (lstat(path, &named) != 0) {
        return errno == ENOENT;
    }
    // Only a regular file can be held; a link goes, not what it names.
    if (!S_ISREG(named.st_mode)) {
        return unlink(path) == 0 || errno == ENOENT;
    }
    const int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        // Unreadable to us: whether it is held cannot be told, so it stays.
        return errno == ENOENT;
    }
    bool removed = false;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Locked by us now, the file can still have lost its name to another
        // run's sweep, and the name gone to a new file.
        removed = isNamed(fd, path) ? unlink(path) == 0 || errno == ENOENT : !exists(path);
    }
    close(fd);
    return removed;
}

void TemporaryFile::closeHold(std::intptr_t hold) {
    close(static_cast<int>(hold));
}
