#pragma once

#include <set>
#include <string>

// Removes every "tarvo*.$$$" entry of the current directory. After a first full
// scan it learns from inotify which such names have appeared since, so a sweep
// after each of thousands of commands does not rescan a large directory. It
// scans in full again whenever the events may be incomplete.
class TemporarySweeper {
  public:
    TemporarySweeper() = default;
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

    int sweeps_ = 0;
    int notifier_ = -1;
    bool watching_ = false;
    // The directory watched; the current directory may be another by now.
    unsigned long long device_ = 0;
    unsigned long long inode_ = 0;
    // Names seen that still have to be removed; those that cannot be removed
    // (a directory, say) stay, and are tried once per sweep like a scan would.
    std::set<std::string> candidates_;
};
