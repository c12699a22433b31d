#include "exec/RefusedCommand.h"

namespace {

constexpr std::size_t kQuotedBytes = 200;

} // namespace

std::string refusedCommandMessage(const std::string& commandLine, const std::string& reason) {
    std::string message = "Error (tarvo): Unable to run the command ";
    if (commandLine.size() > kQuotedBytes) {
        message.append(commandLine, 0, kQuotedBytes);
        message += "...";
    } else {
        message += commandLine;
    }
    message += ": ";
    message += reason;
    message += '\n';
    return message;
}
