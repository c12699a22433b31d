#include "driver/Driver.h"

#include "driver/CommandLine.h"
#include "driver/DotGraph.h"
#include "driver/Usage.h"
#include "exec/DryRunExecutor.h"
#include "exec/ParallelExecutor.h"
#include "exec/SequentialExecutor.h"
#include "platform/File.h"
#include "platform/FileTimeCache.h"
#include "platform/Interrupts.h"
#include "platform/Platform.h"
#include "platform/PlatformConventions.h"
#include "platform/TemporaryFile.h"
#include "preprocess/ConditionEvaluator.h"
#include "preprocess/IntermediateFile.h"
#include "preprocess/MacroTable.h"
#include "preprocess/Preprocessor.h"
#include "rules/Rule.h"
#include "rules/RuleParser.h"
#include "rules/RuleTable.h"
#include "rules/Walk.h"
#include "rules/WalkPolicy.h"
#include "text/ErrorReport.h"
#include "text/Note.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

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

void defineMacros(MacroTable& macros, const Options& options,
                  const std::vector<std::string>& environment) {
    macros.define("MAKE", makeCommand());
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

// The executor of the run, and the walk that goes with it.
struct Execution {
    std::unique_ptr<Executor> executor;
    WalkPolicy policy;
};

// The executor runs its commands on the walk's file-time cache, which tells
// the walk when files may have changed.
Execution chooseExecution(const Options& options, FileTimeCache& files) {
    Execution execution;
    execution.policy.explain = options.explain;
    if (options.graph || options.dryRun) {
        execution.executor = std::make_unique<DryRunExecutor>(files, options.graph);
        execution.policy.passesOverCycles = options.graph;
    } else if (options.jobs > 1) {
        execution.executor =
            std::make_unique<ParallelExecutor>(files, options.jobs, options.keepTemporaries);
        execution.policy.eachTargetOnce = true;
        execution.policy.stepsEndBeforeSiblings = true;
    } else {
        execution.executor = std::make_unique<SequentialExecutor>(files, options.keepTemporaries);
    }
    return execution;
}

Made makeTargets(const std::vector<std::string>& targets, RuleTable& rules, Platform& platform,
                 const Options& options, const std::string& dependencyFiles) {
    FileTimeCache files(platform);
    const Execution execution = chooseExecution(options, files);
    Walk walk(rules, files, *execution.executor, execution.policy);
    if (!dependencyFiles.empty()) {
        walk.readDependencyFiles(dependencyFiles);
    }
    DotGraph graph;
    if (options.graph) {
        walk.observe(graph);
    }
    for (const std::string& target : targets) {
        if (!walk.make(target)) {
            return {walk.finish(), true};
        }
    }
    const int status = walk.finish();
    if (options.graph) {
        graph.write(stdout, files);
    }
    return {status, false};
}

// Notes the ignored options; true, with the status, when an option ends the
// run before any makefile is read (one that cannot be followed, a directory
// that cannot be entered).
bool endsBeforeMakefile(const Options& options, int& status) {
    for (const std::string& ignored : options.ignored) {
        note("option %s ignored", ignored.c_str());
    }
    if (!options.invalid.empty()) {
        status = reportError(message::kInvalidOption, options.invalid.c_str());
        return true;
    }
    if (!options.directory.empty()) {
        std::error_code error;
        std::filesystem::current_path(options.directory, error);
        if (error) {
            status = reportError(message::kUnableToChangeDirectory, options.directory.c_str(),
                                 error.message().c_str());
            return true;
        }
    }
    return false;
}

} // namespace

int runTarvo(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
             Platform& platform, const RunLimits& limits) {
    const Options options = scanArguments(arguments);
    // Answered before the banner, without reading any makefile.
    if (options.help) {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(versionText().c_str(), stdout);
        return 0;
    }
    // The graph is all that the run writes on standard output.
    if (!options.graph) {
        std::fputs("TARVO version 1.0\n\n", stdout);
    }
    int status = 0;
    if (endsBeforeMakefile(options, status)) {
        return status;
    }
    // A dry run or a graph leaves every file as it is, other runs' leftovers too.
    const bool sweeps = !options.keepTemporaries && !options.dryRun && !options.graph;
    setInterruptCleanup([&platform, sweeps] {
        if (sweeps) {
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

    TemporaryFile records = platform.createTemporaryFile(TemporaryFile::Content::Binary);
    if (!records.created()) {
        return reportError(message::kUnableToCreateIntermediate, records.name().c_str());
    }
    IntermediateFile intermediate(records.stream());
    {
        Preprocessor preprocessor(macros, evaluator);
        status = preprocessor.preprocessMakefile(makefile.get(), makefileName, intermediate);
    }
    if (!intermediate.finish()) {
        records.release();
        return reportError(message::kUnableToWriteIntermediate, records.name().c_str());
    }
    makefile.reset();

    if (options.print && !options.graph) {
        intermediate.list(stdout);
        records.release();
    } else {
        RuleParser parser(rules);
        // Pass 2 reads the records even after pass 1 failed; its own error wins.
        const int parsed = parser.parseRules(intermediate);
        if (parsed != 0) {
            status = parsed;
        }
        records.release();
        if (status != 0) {
            return status;
        }
        std::vector<std::string> targets = options.targets;
        if (targets.empty() && parser.defaultTarget()) {
            targets.push_back(*parser.defaultTarget());
        }
        // The dependency files of the targets, as the makefile names them.
        const std::string dependencyFiles =
            macros.isDefined("TARVO_DEPFILE") ? macros.valueOf("TARVO_DEPFILE") : std::string();
        const Made made = makeTargets(targets, rules, platform, options, dependencyFiles);
        status = made.status;
        if (made.endsAtOnce) {
            return status;
        }
    }

    if (sweeps) {
        platform.sweepTemporaries();
    }
    setInterruptCleanup(nullptr);
    return status;
}
