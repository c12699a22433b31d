#include "exec/watchers/ProgressLine.h"

#include "exec/RunClock.h"
#include "platform/Interrupts.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string clockText(double milliseconds) {
    const long seconds = static_cast<long>(milliseconds / 1000 + 0.5);
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
    }
    return text;
}

} // namespace

void ProgressLine::plan(const std::vector<std::pair<std::string, std::size_t>>& commands,
                        const std::unordered_map<std::string, double>& recorded) {
    for (const auto& [target, count] : commands) {
        Expected& expected = expected_[target];
        expected.commands += count;
        planned_ += count;
        const auto found = recorded.find(target);
        if (found != recorded.end()) {
            expected.milliseconds = found->second;
            knownLeft_ += found->second * static_cast<double>(count);
        } else {
            unknownLeft_ += count;
        }
    }
}

void ProgressLine::writing() {
    if (shown_) {
        console_->clear();
        shown_ = false;
    }
}

void ProgressLine::started(std::uint64_t id, const std::string& target, const std::string& text,
                           bool direct) {
    double expected = -1;
    const auto found = expected_.find(target);
    if (found != expected_.end() && found->second.commands > 0) {
        --found->second.commands;
        expected = found->second.milliseconds;
        if (expected >= 0) {
            knownLeft_ -= expected;
        } else {
            --unknownLeft_;
        }
    }
    running_[id] = {clock_.microseconds(), expected};
    lastCommand_ = text;
    // A command whose output goes out as it runs has the terminal to itself.
    if (!direct) {
        draw();
    }
}

void ProgressLine::ended(std::uint64_t id, const std::string&, const std::string&, int) {
    const auto found = running_.find(id);
    if (found == running_.end()) {
        return;
    }
    // A command that ends once an interrupt has come was cut short: it is
    // not done, and tells nothing of how long its like take.
    if (!interruptPending()) {
        endedTotal_ += static_cast<double>(clock_.microseconds() - found->second.start) / 1000;
        ++endedCount_;
        ++done_;
    }
    running_.erase(found);
    draw();
}

void ProgressLine::waiting() {
    if (!running_.empty()) {
        draw();
    }
}

void ProgressLine::finish() {
    writing();
}

double ProgressLine::timeLeft(std::int64_t now) const {
    const double mean = endedCount_ > 0 ? endedTotal_ / static_cast<double>(endedCount_) : -1;
    if (unknownLeft_ > 0 && mean < 0) {
        return -1;
    }
    double left = knownLeft_ + static_cast<double>(unknownLeft_) * std::max(mean, 0.0);
    for (const auto& [id, command] : running_) {
        const double expected = command.expected >= 0 ? command.expected : mean;
        if (expected < 0) {
            return -1;
        }
        left += std::max(0.0, expected - static_cast<double>(now - command.start) / 1000);
    }
    return left / slots_;
}

std::string ProgressLine::text(std::int64_t now, std::size_t width) const {
    // Corrected as the build goes: more may start than the plan foresaw.
    const std::size_t total = std::max(planned_, done_ + running_.size());
    const std::string totalText = std::to_string(total);
    std::string doneText = std::to_string(done_);
    doneText.insert(0, totalText.size() > doneText.size() ? totalText.size() - doneText.size() : 0,
                    ' ');
    std::string line = "[" + doneText + "/" + totalText + ", " + std::to_string(running_.size()) +
                       " running, " + clockText(static_cast<double>(now) / 1000);
    const double left = timeLeft(now);
    if (left >= 0) {
        line += ", about " + clockText(left) + " left";
    }
    line += "] ";
    std::string command = lastCommand_;
    while (!command.empty() && command.back() == ' ') {
        command.pop_back();
    }
    line += command;
    if (line.size() > width) {
        line.resize(width);
        // Not in the middle of a UTF-8 character.
        while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80) {
            line.pop_back();
        }
        if (!line.empty() && static_cast<unsigned char>(line.back()) >= 0xC0) {
            line.pop_back();
        }
    }
    return line;
}

void ProgressLine::draw() {
    std::string line = text(clock_.microseconds(), console_->width());
    // Waits redraw it often; a terminal is written only when it changes.
    if (shown_ && line == drawn_) {
        return;
    }
    console_->show(line);
    drawn_ = std::move(line);
    shown_ = true;
}
