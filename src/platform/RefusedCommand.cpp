#include "platform/RefusedCommand.h"

#include "text/Diagnostics.h"
#include "text/ErrorReport.h"

namespace {

constexpr std::size_t kQuotedBytes = 200;

} // namespace

std::string refusedCommandMessage(const std::string& commandLine, const std::string& reason) {
    const std::string quoted = commandLine.size() > kQuotedBytes
                                   ? commandLine.substr(0, kQuotedBytes) + "..."
                                   : commandLine;
    return Diagnostics::errorText(message::kUnableToRun, quoted.c_str(), reason.c_str());
}
