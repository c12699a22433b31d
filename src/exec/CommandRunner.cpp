#include "exec/CommandRunner.h"

#include "driver/RunState.h"
#include "exec/CommandSplit.h"
#include "exec/InlineFiles.h"
#include "exec/Platform.h"
#include "exec/TemporaryFile.h"
#include "rules/Rule.h"

#include <cstdio>

namespace {

void writeLine(std::FILE* file, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
}

} // namespace

void CommandRunner::run(const Rule& rule, const std::string& target) {
    RunState& state = runState();
    std::string line;
    std::string pending; // the command waiting for its inline file
    std::string opening; // the line that opened the inline file, for messages
    std::string terminator;
    TemporaryFile inlineFile;
    for (const ListItem* item = rule.commands.head(); item != nullptr && state.buildStatus == 0;
         item = item->next()) {
        line = item->text();
        rule.expandSpecials(line, target);
        if (inlineFile.stream() != nullptr) {
            const std::size_t end = line.find(terminator);
            if (end == std::string::npos) {
                writeLine(inlineFile.stream(), line);
                continue;
            }
            line.resize(end);
            if (!line.empty()) {
                writeLine(inlineFile.stream(), line);
            }
            if (!inlineFile.closeStream()) {
                std::printf("Error (tarvo): Unable to write the inline file %s\n",
                            inlineFile.name().c_str());
                state.buildStatus = 1;
                return;
            }
            runCommand(pending, inlineFile);
            continue;
        }
        const std::size_t open = line.find("<<");
        if (open == std::string::npos) {
            runCommand(line, inlineFile);
            continue;
        }
        terminator = inlineTerminator(line, open);
        opening = line;
        inlineFile = platform_.createTemporaryFile(TemporaryFile::Content::Text);
        if (!inlineFile.created()) {
            std::printf("Error (tarvo): Unable to create the inline file %s\n",
                        inlineFile.name().c_str());
            state.buildStatus = 1;
            return;
        }
        if (state.keepTemporaries) {
            inlineFile.keep();
        }
        line.resize(open);
        pending = line + inlineFile.name();
    }
    if (inlineFile.stream() != nullptr) {
        // The rule's lines ended before the terminator: the command would see
        // the rest of the makefile as its file, so it is not run.
        inlineFile.closeStream();
        std::printf("Error (tarvo): Inline file of %s not terminated in the command %s\n",
                    target.c_str(), opening.c_str());
        state.buildStatus = 1;
    }
}

void CommandRunner::runCommand(const std::string& pending, TemporaryFile& inlineFile) {
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
    inlineFile.release();
    if (!state.keepTemporaries) {
        platform_.sweepTemporaries();
    }
}
