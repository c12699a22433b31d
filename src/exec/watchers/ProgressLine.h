#pragma once

#include "exec/CommandObserver.h"
#include "platform/ConsoleLine.h"
#include "text/TransientLine.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class RunClock;

// The line at the bottom of the terminal while a build runs:
//   [ 45/200, 2 running, 0:14, about 0:48 left] cc -c parser.c
// commands done and to do, commands running, the time since the start and,
// once it can be told, the time left. It is cleared before each block of
// output and each note, and shown again after it, so that the output scrolls
// as without it. While commands run, its times move on.
class ProgressLine : public CommandObserver, public TransientLine {
  public:
    ProgressLine(std::unique_ptr<ConsoleLine> console, const RunClock& clock, unsigned slots)
        : console_(std::move(console)), clock_(clock), slots_(slots > 0 ? slots : 1) {}
    ~ProgressLine() override { finish(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // The commands the run is expected to start, as numbers by target, and
    // what one command of a target took before, in milliseconds.
    void plan(const std::vector<std::pair<std::string, std::size_t>>& commands,
              const std::unordered_map<std::string, double>& recorded);

    void writing() override;
    void started(std::uint64_t id, const std::string& target, const std::string& text,
                 bool direct) override;
    void ended(std::uint64_t id, const std::string& target, const std::string& text,
               int status) override;
    void waiting() override;
    void erase() override { writing(); }

    // Clears the line for good.
    void finish();

    // The text of the line, for a width of columns.
    std::string text(std::int64_t now, std::size_t width) const;

  private:
    struct Expected {
        std::size_t commands = 0; // still to start
        double milliseconds = -1; // for one, as recorded; -1: unknown
    };
    struct Running {
        std::int64_t start; // microseconds
        double expected;    // milliseconds; -1: unknown
    };

    void draw();
    // Milliseconds left, or -1 while it cannot be told.
    double timeLeft(std::int64_t now) const;

    std::unique_ptr<ConsoleLine> console_;
    const RunClock& clock_;
    const unsigned slots_;
    bool shown_ = false;
    std::string drawn_; // the text shown, while it is
    std::size_t planned_ = 0;
    std::size_t done_ = 0;
    std::unordered_map<std::string, Expected> expected_;
    std::map<std::uint64_t, Running> running_;
    std::string lastCommand_;
    // Still to start: the expected time of those recorded, and how many are not.
    double knownLeft_ = 0;
    std::size_t unknownLeft_ = 0;
    // The commands of this run that have ended, for those not recorded.
    double endedTotal_ = 0;
    std::size_t endedCount_ = 0;
};
