#include "driver/Driver.h"

#include "driver/CommandLine.h"
#include "exec/File.h"
#include "exec/FileTimeCache.h"
#include "exec/Interrupts.h"
#include "exec/Platform.h"
#include "exec/SequentialExecutor.h"
#include "preprocess/ConditionEvaluator.h"
#include "preprocess/MacroTable.h"
#include "preprocess/Preprocessor.h"
#include "rules/MakeContext.h"
#include "rules/Rule.h"
#include "rules/RuleParser.h"
#include "rules/RuleTable.h"
#include "text/ErrorReport.h"

#include <cstdio>

namespace {

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

void defineMacros(MacroTable& macros, const Options& options,
                  const std::vector<std::string>& environment) {
    macros.define("MAKE", "TARVO");
    for (const std::string& entry : environment) {
        std::string name;
        std::string value;
        if (splitEnvironmentEntry(entry, name, value)) {
            macros.define(name, value);
        }
    }
    for (const auto& definition : options.definitions) {
        macros.define(definition.first, definition.second);
        macros.lock(definition.first);
    }
}

struct Made {
    int status = 0;
    // The run ends at once, without its clean-up: a target without a rule, or
    // a cycle.
    bool endsAtOnce = false;
};

Made makeTargets(const std::vector<std::string>& targets, RuleTable& rules, Platform& platform,
                 const Options& options) {
    FileTimeCache files(platform);
    SequentialExecutor executor(files, options.keepTemporaries);
    MakeContext context(rules, files, executor);
    for (const std::string& target : targets) {
        Rule* rule = rules.lookup(target);
        if (rule == nullptr) {
            return {reportError(message::kNoRule, target.c_str()), true};
        }
        rule->make(target, context);
        if (context.stopped()) {
            return {context.status(), true};
        }
    }
    return {context.status(), false};
}

} // namespace

int runTarvo(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
             Platform& platform, const RunLimits& limits) {
    std::fputs("TARVO version 1.0\n\n", stdout);
    const Options options = scanArguments(arguments);
    setInterruptCleanup([&platform, &options] {
        if (!options.keepTemporaries) {
            platform.sweepTemporaries();
        }
    });

    MacroTable macros;
    if (limits.expansionBytes != 0) {
        macros.setExpansionLimit(limits.expansionBytes);
    }
    ConditionEvaluator evaluator;
    RuleTable rules;
    defineMacros(macros, options, environment);

    std::string makefileName = options.makefileName;
    File makefile = openMakefile(makefileName);
    if (!makefile) {
        return reportError(message::kUnableToOpenFile, makefileName.c_str());
    }

    const std::string intermediateName = platform.makeTempName();
    setFileToRemoveOnInterrupt(intermediateName);
    // With every name taken, the last one is used anew: whatever holds it goes
    // first, so that a link there is replaced rather than followed.
    platform.removeFile(intermediateName);
    int status = 0;
    {
        File intermediate(std::fopen(intermediateName.c_str(), "w+b"));
        if (!intermediate) {
            setFileToRemoveOnInterrupt(std::string());
            return reportError(message::kUnableToCreateIntermediate, intermediateName.c_str());
        }
        Preprocessor preprocessor(macros, evaluator);
        status = preprocessor.preprocessMakefile(makefile.get(), makefileName, intermediate.get());
        // A full disk must not pass for a shorter makefile.
        if (std::fflush(intermediate.get()) != 0 || std::ferror(intermediate.get()) != 0) {
            intermediate.reset();
            platform.removeFile(intermediateName);
            setFileToRemoveOnInterrupt(std::string());
            return reportError(message::kUnableToWriteIntermediate, intermediateName.c_str());
        }
    }
    makefile.reset();

    if (options.print) {
        File listing(std::fopen(intermediateName.c_str(), "rb"));
        if (listing) {
            copyToStandardOutput(listing.get());
        }
        listing.reset();
        platform.removeFile(intermediateName);
        setFileToRemoveOnInterrupt(std::string());
    } else {
        RuleParser parser(rules);
        File records(std::fopen(intermediateName.c_str(), "rb"));
        // Pass 2 reads the records even after pass 1 failed; its own error wins.
        if (records) {
            const int parsed = parser.parseRules(records.get());
            if (parsed != 0) {
                status = parsed;
            }
        }
        records.reset();
        platform.removeFile(intermediateName);
        setFileToRemoveOnInterrupt(std::string());
        if (status != 0) {
            return status;
        }
        std::vector<std::string> targets = options.targets;
        if (targets.empty() && parser.defaultTarget()) {
            targets.push_back(*parser.defaultTarget());
        }
        const Made made = makeTargets(targets, rules, platform, options);
        status = made.status;
        if (made.endsAtOnce) {
            return status;
        }
    }

    if (!options.keepTemporaries) {
        platform.sweepTemporaries();
    }
    setInterruptCleanup(nullptr);
    return status;
}
