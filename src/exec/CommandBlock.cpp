#include "exec/CommandBlock.h"

#include "exec/Job.h"
#include "platform/OutputSpool.h"
#include "text/Diagnostics.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

void writeLine(std::FILE* file, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
}

// What Windows users know a status with the top bit set by: an NTSTATUS code,
// written in hexadecimal, and for the common ones, its name.
std::string windowsStatus(int status) {
    const auto code = static_cast<std::uint32_t>(status);
    if ((code & 0x80000000u) == 0) {
        return std::string();
    }
    struct Name {
        std::uint32_t code;
        const char* name;
    };
    static const Name kNames[] = {
        {0x80000003u, "breakpoint"},
        {0xC0000005u, "access violation"},
        {0xC000001Du, "illegal instruction"},
        {0xC000007Bu, "bad image format"},
        {0xC0000094u, "integer division by zero"},
        {0xC00000FDu, "stack overflow"},
        {0xC0000135u, "DLL not found"},
        {0xC0000139u, "entry point not found"},
        {0xC000013Au, "Ctrl-C"},
        {0xC0000142u, "DLL initialization failed"},
        {0xC0000374u, "heap corruption"},
        {0xC0000409u, "stack buffer overrun"},
        {0xC0000417u, "invalid parameter"},
    };
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
    for (const Name& name : kNames) {
        if (name.code == code) {
            return std::string(" (") + hex + ", " + name.name + ")";
        }
    }
    return std::string(" (") + hex + ")";
}

} // namespace

void CommandBlock::explain() const {
    if (!job_.reason.empty()) {
        diagnostics_.note("%s", job_.reason.c_str());
    }
}

void CommandBlock::echo(std::string_view line) const {
    writeLine(stdout, line);
}

void CommandBlock::echoInlineLines(const std::vector<std::string>& lines) const {
    for (const std::string& line : lines) {
        if (!line.empty()) {
            std::fputs("    ", stdout);
        }
        writeLine(stdout, line);
    }
}

void CommandBlock::output(OutputSpool& output, OutputSpool& errors) const {
    output.writeTo(stdout);
    std::fflush(stdout);
    errors.writeTo(stderr);
    // The C runtime may hold standard error back when it goes to a file; the
    // block's errors belong beside its output, as in a run of one job.
    std::fflush(stderr);
}

void CommandBlock::failed(int status) const {
    diagnostics_.note("%s: command failed with status %d%s", job_.target.c_str(), status,
                      windowsStatus(status).c_str());
}
