#include "exec/ChildProcesses_win32.h"

std::uint64_t ChildProcesses::start(const std::string& commandLine) {
    const std::uint64_t id = nextId_++;
    ended_.push_back({id, platform_.runProcess(commandLine), std::string(), std::string()});
    return id;
}

EndedProcess ChildProcesses::wait() {
    EndedProcess ended = std::move(ended_.front());
    ended_.pop_front();
    return ended;
}
