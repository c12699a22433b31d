#include "driver/Driver.h"

#include "driver/CommandLine.h"
#include "driver/RunState.h"
#include "exec/Interrupts.h"
#include "exec/Platform.h"
#include "exec/PlatformConventions.h"
#include "exec/TemporaryFile.h"
#include "preprocess/ConditionEvaluator.h"
#include "preprocess/MacroTable.h"
#include "preprocess/Preprocessor.h"
#include "rules/MakeContext.h"
#include "rules/Rule.h"
#include "rules/RuleParser.h"
#include "rules/RuleTable.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Some systems open a directory as an empty file; it is no makefile.
File openForReading(const std::string& name) {
    std::error_code ignored;
    if (std::filesystem::is_directory(name, ignored)) {
        return File();
    }
    return File(std::fopen(name.c_str(), "rb"));
}

File openMakefile(std::string& name) {
    File file = openForReading(name);
    if (file) {
        return file;
    }
    const std::size_t backslash = name.rfind('\\');
    if (backslash == std::string::npos || name.find('.', backslash) == std::string::npos) {
        name += ".mak";
    }
    return openForReading(name);
}

void copyToStandardOutput(std::FILE* file) {
    char buffer[1 << 16];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        std::fwrite(buffer, 1, got, stdout);
    }
}

} // namespace

int runTarvo(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
             Platform& platform) {
    RunState& state = runState();
    std::fputs("TARVO version 1.0\n\n", stdout);
    setInterruptCleanup([&platform, &state] {
        if (!state.keepTemporaries) {
            platform.sweepTemporaries();
        }
    });

    MacroTable macros;
    if (state.expansionLimit != 0) {
        macros.setExpansionLimit(state.expansionLimit);
    }
    ConditionEvaluator evaluator;
    RuleTable rules;

    macros.define("MAKE", makeCommand());
    for (const std::string& entry : environment) {
        std::string name;
        std::string value;
        if (splitEnvironmentEntry(entry, name, value)) {
            macros.define(name, value);
        }
    }

    Options options = scanArguments(arguments);
    for (const auto& definition : options.definitions) {
        macros.define(definition.first, definition.second);
        macros.lock(definition.first);
    }
    state.keepTemporaries = options.keepTemporaries;
    state.requestedTargets = options.targets;

    std::string makefileName = options.makefileName;
    File makefile = openMakefile(makefileName);
    if (!makefile) {
        std::printf("Error (tarvo):  Unable to open file %s", makefileName.c_str());
        return 1;
    }

    state.position.fileName = makefileName;
    state.position.lineNumber = 0;
    TemporaryFile intermediate = platform.createTemporaryFile(TemporaryFile::Content::Binary);
    if (!intermediate.created()) {
        std::printf("Error (tarvo): Unable to create the intermediate file %s\n",
                    intermediate.name().c_str());
        return 1;
    }
    {
        Preprocessor preprocessor(macros, evaluator);
        preprocessor.preprocessFile(makefile.get(), intermediate.stream());
    }
    // A full disk must not pass for a shorter makefile.
    if (std::fflush(intermediate.stream()) != 0 || std::ferror(intermediate.stream()) != 0) {
        intermediate.release();
        std::printf("Error (tarvo): Unable to write the intermediate file %s\n",
                    intermediate.name().c_str());
        return 1;
    }
    makefile.reset();
    std::rewind(intermediate.stream());

    if (options.print) {
        copyToStandardOutput(intermediate.stream());
        intermediate.release();
    } else {
        RuleParser parser(rules);
        parser.parseRules(intermediate.stream());
        intermediate.release();
        if (state.buildStatus != 0) {
            return state.buildStatus;
        }
        MakeContext context(rules, platform);
        for (const std::string& target : state.requestedTargets) {
            Rule* rule = rules.lookup(target);
            if (rule == nullptr) {
                std::printf("Error (tarvo):  No rule for %s", target.c_str());
                return 1;
            }
            rule->make(target, context);
            if (state.stopRequested) {
                return state.buildStatus;
            }
        }
    }

    if (!state.keepTemporaries) {
        platform.sweepTemporaries();
    }
    setInterruptCleanup(nullptr);
    return state.buildStatus;
}
