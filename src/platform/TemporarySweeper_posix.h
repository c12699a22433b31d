#pragma once

#include <cstddef>
#include <set>
#include <string>

// Removes every "tarvo*.$$$" entry of the current directory but the files that
// a live run holds (TemporaryFile). Once its scans have cost enough, it learns
// from inotify which such names have appeared since the last scan, so a sweep
// after each of thousands of commands does not rescan a large directory. It
// scans in full again whenever the events may be incomplete.
class TemporarySweeper {
  public:
    // Scans alone until the scans have read this many directory entries, about
    // 7 ms of reading here: what closing a watch can cost.
    static constexpr std::size_t kEntriesBeforeWatching = 40000;

    explicit TemporarySweeper(std::size_t entriesBeforeWatching = kEntriesBeforeWatching);
    TemporarySweeper(const TemporarySweeper&) = delete;
    TemporarySweeper& operator=(const TemporarySweeper&) = delete;
    ~TemporarySweeper();

    void sweep();

  private:
    void fullScan();
    bool startWatching();
    bool stillInWatchedDirectory() const;
    // False when the events cannot be trusted and a full scan is needed.
    bool readEvents();
    void stopWatching();
    void removeCandidates();

    const std::size_t entriesBeforeWatching_;
    std::size_t entriesScanned_ = 0;
    int notifier_ = -1;
    bool watching_ = false;
    // The directory watched; the current directory may be another by now.
    unsigned long long device_ = 0;
    unsigned long long inode_ = 0;
    // Names seen that still have to be removed; those that cannot be removed
    // yet (held by a live run) or at all (a directory) stay, and are tried
    // once per sweep like a scan would.
    std::set<std::string> candidates_;
};
