#pragma once

#include "exec/CommandObserver.h"
#include "platform/File.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class RunClock;

// Writes the commands of a run as Chrome trace-event JSON, which Perfetto and
// chrome://tracing show: one lane per job slot, one complete event per
// command, named after its target, with the command and its status as
// arguments. Each event is written when its command ends.
class TraceWriter : public CommandObserver {
  public:
    TraceWriter(File file, const RunClock& clock);
    // Ends the trace, unless close() has.
    ~TraceWriter() override;
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    void writing() override {}
    void started(std::uint64_t id, const std::string& target, const std::string& text,
                 bool direct) override;
    void ended(std::uint64_t id, const std::string& target, const std::string& text,
               int status) override;

    // Ends the trace and closes its file; 0, or the error of the first write
    // that failed (a full disk).
    int close();

  private:
    struct Running {
        std::int64_t start;
        std::size_t lane;
    };

    void writeEvent(const std::string& event);
    // Keeps the error of the first write that failed.
    void check();

    File file_;
    const RunClock& clock_;
    std::map<std::uint64_t, Running> running_;
    std::vector<bool> busy_; // by lane
    bool first_ = true;
    int error_ = 0;
};
