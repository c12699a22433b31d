#include "exec/watchers/TraceWriter.h"

#include "exec/RunClock.h"
#include "text/JsonText.h"

#include <cerrno>

TraceWriter::TraceWriter(File file, const RunClock& clock) : file_(std::move(file)), clock_(clock) {
    std::fputs("{\"displayTimeUnit\": \"ms\", \"traceEvents\": [", file_.get());
}

TraceWriter::~TraceWriter() {
    close();
}

int TraceWriter::close() {
    if (!file_) {
        return error_;
    }
    std::fputs("\n]}\n", file_.get());
    if (std::fflush(file_.get()) != 0) {
        check();
    }
    if (std::fclose(file_.release()) != 0 && error_ == 0) {
        error_ = errno != 0 ? errno : EIO;
    }
    return error_;
}

void TraceWriter::check() {
    if (error_ == 0 && std::ferror(file_.get()) != 0) {
        error_ = errno != 0 ? errno : EIO;
    }
}

void TraceWriter::writeEvent(const std::string& event) {
    std::fputs(first_ ? "\n" : ",\n", file_.get());
    first_ = false;
    std::fwrite(event.data(), 1, event.size(), file_.get());
    check();
}

void TraceWriter::started(std::uint64_t id, const std::string&, const std::string&, bool) {
    std::size_t lane = 0;
    while (lane < busy_.size() && busy_[lane]) {
        ++lane;
    }
    if (lane == busy_.size()) {
        busy_.push_back(true);
        // The lane's name, shown beside it.
        writeEvent("{\"name\": \"thread_name\", \"ph\": \"M\", \"pid\": 1, \"tid\": " +
                   std::to_string(lane + 1) + ", \"args\": {\"name\": \"job slot " +
                   std::to_string(lane + 1) + "\"}}");
    }
    busy_[lane] = true;
    running_[id] = {clock_.microseconds(), lane};
}

void TraceWriter::ended(std::uint64_t id, const std::string& target, const std::string& text,
                        int status) {
    const auto found = running_.find(id);
    if (found == running_.end()) {
        return;
    }
    const Running command = found->second;
    running_.erase(found);
    busy_[command.lane] = false;
    std::string event = "{\"name\": ";
    appendJsonString(event, target);
    event += ", \"cat\": \"command\", \"ph\": \"X\", \"ts\": " + std::to_string(command.start) +
             ", \"dur\": " + std::to_string(clock_.microseconds() - command.start) +
             ", \"pid\": 1, \"tid\": " + std::to_string(command.lane + 1) +
             ", \"args\": {\"command\": ";
    std::string line = text;
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    appendJsonString(event, line);
    event += ", \"status\": " + std::to_string(status) + "}}";
    writeEvent(event);
}
