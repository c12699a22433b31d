#include "exec/CommandRunner.h"

#include "driver/RunState.h"
#include "exec/CommandSplit.h"
#include "exec/InlineFiles.h"
#include "exec/Interrupts.h"
#include "exec/Platform.h"
#include "rules/Rule.h"

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void writeLine(std::FILE* file, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
}

// Closes the inline file; false when anything written to it was lost.
bool closeInlineFile(File& file) {
    const bool written = std::ferror(file.get()) == 0;
    return std::fclose(file.release()) == 0 && written;
}

} // namespace

void CommandRunner::run(const Rule& rule, const std::string& target) {
    RunState& state = runState();
    std::string line;
    std::string pending;    // the command waiting for its inline file
    std::string opening;    // the line that opened the inline file, for messages
    std::string inlineName; // the inline file's name
    std::string terminator;
    File inlineFile;
    for (const ListItem* item = rule.commands.head(); item != nullptr && state.buildStatus == 0;
         item = item->next()) {
        line = item->text();
        rule.expandSpecials(line, target);
        if (inlineFile) {
            const std::size_t end = line.find(terminator);
            if (end == std::string::npos) {
                writeLine(inlineFile.get(), line);
                continue;
            }
            line.resize(end);
            if (!line.empty()) {
                writeLine(inlineFile.get(), line);
            }
            if (!closeInlineFile(inlineFile)) {
                std::printf("Error (tarvo): Unable to write the inline file %s\n",
                            inlineName.c_str());
                state.buildStatus = 1;
                dropFileToRemoveOnInterrupt(inlineName);
                return;
            }
            runCommand(pending);
            dropFileToRemoveOnInterrupt(inlineName);
            continue;
        }
        const std::size_t open = line.find("<<");
        if (open == std::string::npos) {
            runCommand(line);
            continue;
        }
        terminator = inlineTerminator(line, open);
        opening = line;
        inlineName = platform_.makeTempName();
        // With every name taken the last one is used anew: a link there is
        // replaced, not written through.
        platform_.removeFile(inlineName);
        inlineFile.reset(std::fopen(inlineName.c_str(), "w+"));
        if (!inlineFile) {
            std::printf("Error (tarvo): Unable to create the inline file %s\n", inlineName.c_str());
            state.buildStatus = 1;
            return;
        }
        // The sweep after the command removes it; until then a run that ends
        // by a signal does.
        if (!state.keepTemporaries) {
            addFileToRemoveOnInterrupt(inlineName);
        }
        line.resize(open);
        pending = line + inlineName;
    }
    if (inlineFile) {
        // The rule's lines ended before the terminator: the command would see
        // the rest of the makefile as its file, so it is not run.
        closeInlineFile(inlineFile);
        dropFileToRemoveOnInterrupt(inlineName);
        std::printf("Error (tarvo): Inline file of %s not terminated in the command %s\n",
                    target.c_str(), opening.c_str());
        state.buildStatus = 1;
    }
}

void CommandRunner::runCommand(const std::string& pending) {
    RunState& state = runState();
    bool echo = true;
    bool stopOnError = true;
    std::size_t i = 0;
    for (; i < pending.size(); ++i) {
        if (pending[i] == '-') {
            stopOnError = false;
        } else if (pending[i] == '@') {
            echo = false;
        } else {
            break;
        }
    }
    std::string rebuilt;
    rebuilt.reserve(pending.size() - i + 1);
    for (const std::string& word : splitWords(pending.substr(i))) {
        rebuilt += word;
        rebuilt += ' ';
    }
    if (echo) {
        writeLine(stdout, rebuilt);
    }
    state.buildStatus = static_cast<int>(platform_.runProcess(rebuilt));
    if (state.buildStatus != 0 && !stopOnError) {
        state.buildStatus = 0;
    }
    if (!state.keepTemporaries) {
        platform_.sweepTemporaries();
    }
}
