#include "platform/TemporarySweeper_posix.h"

#include "platform/TempNames.h"
#include "platform/TemporaryFile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif

#include <cerrno>
#include <vector>

namespace {
// What a scan costs in directory entries before reading any; an empty
// directory is not free.
constexpr std::size_t kScanOverhead = 64;
} // namespace

TemporarySweeper::TemporarySweeper(std::size_t entriesBeforeWatching)
    : entriesBeforeWatching_(entriesBeforeWatching) {}

TemporarySweeper::~TemporarySweeper() {
    stopWatching();
}

void TemporarySweeper::stopWatching() {
    if (notifier_ >= 0) {
        close(notifier_);
    }
    notifier_ = -1;
    watching_ = false;
}

bool TemporarySweeper::startWatching() {
#ifdef __linux__
    notifier_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notifier_ < 0) {
        return false;
    }
    if (inotify_add_watch(notifier_, ".", IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF) <
        0) {
        stopWatching();
        return false;
    }
    struct stat info;
    if (stat(".", &info) != 0) {
        stopWatching();
        return false;
    }
    device_ = info.st_dev;
    inode_ = info.st_ino;
    watching_ = true;
    return true;
#else
    return false;
#endif
}

bool TemporarySweeper::readEvents() {
#ifdef __linux__
    alignas(inotify_event) char buffer[1 << 16];
    for (;;) {
        const ssize_t got = read(notifier_, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno == EAGAIN;
        }
        if (got == 0) {
            return false;
        }
        for (ssize_t offset = 0; offset < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if ((event->mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
                return false;
            }
            if (event->len > 0 && isTemporaryName(event->name)) {
                candidates_.insert(event->name);
            }
        }
    }
#else
    return false;
#endif
}

bool TemporarySweeper::stillInWatchedDirectory() const {
    struct stat info;
    return stat(".", &info) == 0 && info.st_dev == device_ && info.st_ino == inode_;
}

void TemporarySweeper::fullScan() {
    candidates_.clear();
    entriesScanned_ += kScanOverhead;
    if (DIR* directory = opendir(".")) {
        while (const dirent* entry = readdir(directory)) {
            ++entriesScanned_;
            if (isTemporaryName(entry->d_name)) {
                candidates_.insert(entry->d_name);
            }
        }
        closedir(directory);
    }
}

void TemporarySweeper::removeCandidates() {
    for (auto it = candidates_.begin(); it != candidates_.end();) {
        if (TemporaryFile::removeUnlessHeld(it->c_str())) {
            it = candidates_.erase(it);
        } else {
            ++it;
        }
    }
}

void TemporarySweeper::sweep() {
    if (!watching_) {
        // Closing a watch can wait milliseconds for the kernel, as long as a
        // scan of tens of thousands of entries, and a short run or a small
        // directory never earns that back. So scan until the scans so far have
        // cost about what closing a watch does, then watch: never much worse than
        // the better of the two. Watch first, then scan, so that whatever appears
        // after the scan is reported.
        if (entriesScanned_ >= entriesBeforeWatching_) {
            startWatching();
        }
        fullScan();
    } else if (!readEvents() || !stillInWatchedDirectory()) {
        stopWatching();
        startWatching();
        fullScan();
    }
    removeCandidates();
}
