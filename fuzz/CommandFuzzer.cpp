// The command runner on an arbitrary rule: special macros, prefixes and inline
// blocks, with commands recorded instead of started, in a scratch directory.
//
// The first line chooses the rule: "I" then the target name makes an
// inference rule, anything else a target rule for the name after the first
// character; with "K" in that character's place temporaries are kept. The
// second line is the inference rule's source extension, or the target rule's
// dependency words. Every further line is a command line.
//
// Besides crashes, leaks and hangs it checks what the runner promises: each
// command is started in its rebuilt form (words joined by single blanks, one
// blank at the end); its inline file, if it has one, exists when it starts; a failed command
// is the last one started; no command line starts more than one command.
#include "exec/SequentialExecutor.h"
#include "platform/FileTimeCache.h"
#include "platform/TempNames.h"
#include "rules/Rule.h"
#include "rules/RuleTable.h"
#include "rules/Walk.h"
#include "support/FuzzPlatform.h"
#include "support/ScratchDirectory.h"
#include "text/Diagnostics.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

std::unique_ptr<ScratchDirectory> gScratch;

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> splitAtBlanks(const std::string& text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') {
            ++i;
        }
        if (i > start) {
            words.push_back(text.substr(start, i - start));
        }
    }
    return words;
}

bool isRebuilt(const std::string& command) {
    if (command.empty()) {
        return true;
    }
    return command.back() == ' ' && command.find("  ") == std::string::npos &&
           command.find('\t') == std::string::npos && command[0] != ' ';
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        return 1;
    }
    gScratch = std::make_unique<ScratchDirectory>();
    std::atexit([] { gScratch.reset(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> lines =
        splitLines(std::string(reinterpret_cast<const char*>(data), size));
    if (lines.size() < 2 || lines[0].empty()) {
        return 0;
    }
    const char kind = lines[0][0];
    const std::string target = lines[0].substr(1);
    std::unique_ptr<Rule> rule;
    if (kind == 'I') {
        rule = std::make_unique<InferenceRule>(lines[1], ".x");
    } else {
        auto targetRule = std::make_unique<TargetRule>(target);
        for (const std::string& word : splitAtBlanks(lines[1])) {
            targetRule->addDependency(word);
        }
        rule = std::move(targetRule);
    }
    std::size_t commandLines = 0;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        // As the rule parser hands them over: without leading blanks.
        const std::size_t start = lines[i].find_first_not_of(" \t");
        rule->addCommand(start == std::string::npos ? std::string() : lines[i].substr(start));
        ++commandLines;
    }

    gScratch->enter();
    FuzzPlatform platform;
    std::size_t filesAtLastStart = 0;
    platform.onRun = [&platform, &filesAtLastStart](const std::string& command) {
        check(isRebuilt(command));
        // A file made since the last command is this command's inline file,
        // which is complete by now.
        const std::size_t files = platform.temporariesCreated.size();
        if (files != filesAtLastStart) {
            check(files == filesAtLastStart + 1);
            const std::string& latest = platform.temporariesCreated.back();
            check(command.find(latest) != std::string::npos);
            std::error_code error;
            check(std::filesystem::is_regular_file(latest, error));
        }
        filesAtLastStart = files;
    };
    FileTimeCache files(platform);
    SequentialExecutor executor(files, kind == 'K');
    RuleTable rules;
    Diagnostics diagnostics;
    Walk walk(rules, files, executor, WalkPolicy(), diagnostics);
    walk.runCommands(*rule, target);

    const int status = walk.status();
    check(platform.started.size() <= commandLines);
    check(status == 0 || status == 1 || status == static_cast<int>(FuzzPlatform::kFailureCode));
    if (status == static_cast<int>(FuzzPlatform::kFailureCode)) {
        check(!platform.started.empty() &&
              platform.started.back().find("fail") != std::string::npos);
    }
    gScratch->leave();
    return 0;
}
