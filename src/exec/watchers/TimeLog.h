#pragma once

#include "exec/CommandObserver.h"

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

class Diagnostics;
class RunClock;

// The record of times that TARVO_LOG names. Each command that ran adds one
// line: start and end in milliseconds from the run's start, exit status, a
// hash of the command, and the target, separated by tabs. The lines are
// appended together at the end of the run, under a lock, so that two runs
// never write at once.
class TimeLog : public CommandObserver {
  public:
    // A record that cannot be written is noted in `diagnostics`.
    TimeLog(std::string path, const RunClock& clock, Diagnostics& diagnostics)
        : path_(std::move(path)), clock_(clock), diagnostics_(diagnostics) {}

    void writing() override {}
    void started(std::uint64_t id, const std::string& target, const std::string& text,
                 bool direct) override;
    void ended(std::uint64_t id, const std::string& target, const std::string& text,
               int status) override;

    // Appends the lines of this run; nothing when no command ran.
    void save();

    // The mean duration of one command of each target in the record, in
    // milliseconds. Damaged lines are skipped with a note each.
    static std::unordered_map<std::string, double> readDurations(const std::string& path,
                                                                 Diagnostics& diagnostics);

    // The hash of a command as the record keeps it: FNV-1a, 64 bits.
    static std::uint64_t hashOf(const std::string& text);

  private:
    std::string path_;
    const RunClock& clock_;
    Diagnostics& diagnostics_;
    std::map<std::uint64_t, std::int64_t> starts_; // by command id, in milliseconds
    std::string lines_;
};
