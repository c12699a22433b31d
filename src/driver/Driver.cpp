#include "driver/Driver.h"

#include "containers/NameCompare.h"
#include "driver/BuildWatch.h"
#include "driver/CommandLine.h"
#include "driver/CompilationDatabase.h"
#include "driver/DotGraph.h"
#include "driver/Makeflags.h"
#include "driver/Usage.h"
#include "exec/CollectingExecutor.h"
#include "exec/DryRunExecutor.h"
#include "exec/JobOutcomes.h"
#include "exec/ParallelExecutor.h"
#include "exec/SequentialExecutor.h"
#include "platform/File.h"
#include "platform/FileTimeCache.h"
#include "platform/InterruptCleanup.h"
#include "platform/Interrupts.h"
#include "platform/Jobserver.h"
#include "platform/Platform.h"
#include "platform/PlatformConventions.h"
#include "platform/ProcessStartup.h"
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
#include "text/Diagnostics.h"
#include "text/ErrorReport.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
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

// The value of the environment variable `name` of the entry, whole; that of
// a name cut at a blank is none of its own.
std::string wholeValue(const std::string& entry, const std::string& name,
                       const std::string& value) {
    const std::size_t end = entry.find(name) + name.size();
    return end < entry.size() && entry[end] == '=' ? entry.substr(end + 1) : value;
}

void defineMacros(MacroTable& macros, const Options& options,
                  const std::vector<std::string>& environment) {
    macros.define("MAKE", makeCommand());
    for (const std::string& entry : environment) {
        std::string name;
        std::string value;
        if (splitEnvironmentEntry(entry, name, value)) {
            std::string whole = wholeValue(entry, name, value);
            macros.defineFromEnvironment(std::move(name), std::move(value), whole);
        }
    }
    for (const auto& definition : options.definitions) {
        macros.define(definition.first, definition.second);
        macros.lock(definition.first);
    }
}

// What the makefile says about how its targets are made.
struct MakefileSettings {
    // The dependency files of the targets, as TARVO_DEPFILE names them.
    std::string dependencyFiles;
    // TARVO_ORDER = dependencies: a step without dependencies need not end
    // before the next name of a list is made.
    bool orderByDependenciesOnly = false;
    // The record of times, as TARVO_LOG names it; empty: none is kept.
    std::string logPath;
};

struct Made {
    int status = 0;
    // The run ends at once, without its clean-up: a target without a rule, or
    // a cycle.
    bool endsAtOnce = false;
};

// The value of a variable of the environment; empty when it has none.
std::string environmentValue(const std::vector<std::string>& environment, const std::string& name) {
    for (const std::string& entry : environment) {
        if (entry.size() > name.size() && entry[name.size()] == '=' &&
            sameName(entry.substr(0, name.size()), name)) {
            return entry.substr(name.size() + 1);
        }
    }
    return std::string();
}

std::string makeflagsIn(const std::vector<std::string>& environment) {
    return environmentValue(environment, "MAKEFLAGS");
}

// The jobserver that a run of commands shares: its own with -jN, else the
// one that MAKEFLAGS names, if any. A run without -j and without one in
// MAKEFLAGS creates and reads nothing. The commands get MAKEFLAGS naming it,
// with k when the run keeps going.
std::unique_ptr<Jobserver> jobserverFor(const Options& options, const std::string& makeflags) {
    if (options.graph || options.dryRun) {
        return nullptr;
    }
    CreatedJobserver jobserver;
    if (!options.jobsGiven) {
        jobserver.jobserver = openJobserver(makeflags);
    } else if (options.jobs > 1) {
        jobserver = createJobserver(options.jobs, options.jobserverStyle);
    }
    const std::string forCommands =
        makeflagsForCommands(makeflags, jobserver.makeflags, options.keepGoing);
    if (forCommands != makeflags) {
        setEnvironmentVariable("MAKEFLAGS", forCommands);
    }
    return std::move(jobserver.jobserver);
}

// The executor of the run, and the walk that goes with it.
struct Execution {
    std::unique_ptr<Executor> executor;
    WalkPolicy policy;
};

// The executor runs its commands on the walk's file-time cache, which tells
// the walk when files may have changed.
Execution chooseExecution(const Options& options, const MakefileSettings& settings,
                          FileTimeCache& files, Jobserver* jobserver) {
    Execution execution;
    execution.policy.explain = options.explain;
    if (options.graph || options.dryRun) {
        execution.executor = std::make_unique<DryRunExecutor>(files, options.graph);
        execution.policy.passesOverCycles = options.graph;
        execution.policy.imaginesCommands = true;
        return execution;
    }
    if (options.jobs > 1) {
        execution.executor = std::make_unique<ParallelExecutor>(files, options.jobs,
                                                                options.keepTemporaries, jobserver);
        execution.policy.eachTargetOnce = true;
    } else if (jobserver != nullptr && !options.jobsGiven) {
        // As many at once as the jobserver's tokens allow.
        execution.executor =
            std::make_unique<ParallelExecutor>(files, UINT_MAX, options.keepTemporaries, jobserver);
        execution.policy.eachTargetOnce = true;
    } else {
        execution.executor = std::make_unique<SequentialExecutor>(files, options.keepTemporaries);
    }
    if (options.keepGoing) {
        execution.policy.keepGoing = true;
        execution.policy.eachTargetOnce = true;
    }
    execution.policy.stepsEndBeforeSiblings =
        execution.policy.eachTargetOnce && !settings.orderByDependenciesOnly;
    return execution;
}

// Makes each target in turn. Returns the target that has no rule, or null;
// the run ends at once then, and when the walk has stopped.
const std::string* walkTargets(const std::vector<std::string>& targets, Walk& walk,
                               bool saysUpToDate, Diagnostics& diagnostics) {
    for (const std::string& target : targets) {
        switch (walk.make(target)) {
        case Walk::Outcome::NoRule:
            return &target;
        case Walk::Outcome::Stopped:
            walk.finish();
            return nullptr;
        case Walk::Outcome::UpToDate:
            // Said only while commands still run: after a failure none would.
            // A target that does not exist is not up to date: what stood in its
            // way has been said.
            if (saysUpToDate && walk.status() == 0 && walk.fileTime(target) != 0) {
                diagnostics.note("%s is up to date", target.c_str());
            }
            break;
        case Walk::Outcome::OutOfDate:
            break;
        }
    }
    return nullptr;
}

// The names sorted, so that the note reads the same however many jobs ran.
void noteTargets(Diagnostics& diagnostics, const char* what, std::vector<std::string> targets) {
    if (targets.empty()) {
        return;
    }
    std::sort(targets.begin(), targets.end());
    std::string names;
    for (const std::string& target : targets) {
        names += ' ';
        names += target;
    }
    diagnostics.note("%s:%s", what, names.c_str());
}

Made makeTargets(const std::vector<std::string>& targets, RuleTable& rules, Platform& platform,
                 const Options& options, const std::vector<std::string>& environment,
                 const MakefileSettings& settings, Diagnostics& diagnostics) {
    FileTimeCache files(platform);
    const bool onlyLooks = options.graph || options.dryRun;
    BuildWatch watch(options, onlyLooks ? std::string() : settings.logPath,
                     !environmentValue(environment, BuildWatch::kLineDrawnAbove).empty(),
                     diagnostics);
    if (!onlyLooks && watch.open() != 0) {
        return {1, true};
    }
    // An interrupted run leaves no progress line behind, and keeps the record
    // and the trace of the commands that ran.
    const InterruptCleanup watchCleanup([&watch] { watch.finish(); });
    // The build takes an interrupt up at its next step, so that a target half
    // made between two commands goes too; a run that only looks ends at once.
    std::optional<InterruptDeferral> deferral;
    if (!onlyLooks) {
        deferral.emplace();
    }
    // Made before the executor, which holds its tokens until it goes.
    const std::unique_ptr<Jobserver> jobserver = jobserverFor(options, makeflagsIn(environment));
    const Execution execution = chooseExecution(options, settings, files, jobserver.get());
    Walk walk(rules, files, *execution.executor, execution.policy, diagnostics);
    if (!settings.dependencyFiles.empty()) {
        walk.readDependencyFiles(settings.dependencyFiles);
    }
    DotGraph graph;
    if (options.graph) {
        walk.observe(graph);
    }
    JobOutcomes outcomes;
    if (execution.policy.keepGoing) {
        execution.executor->keepGoing(outcomes);
    }
    if (!onlyLooks) {
        watch.plan(targets, rules, files, settings.dependencyFiles, execution.policy);
        watch.attach(*execution.executor);
    }
    const std::string* missing = walkTargets(targets, walk, !options.graph, diagnostics);
    const int status = missing == nullptr && !walk.stopped() ? walk.finish() : walk.status();
    // Every command has ended: what follows stands below the build's output.
    watch.finish();
    if (missing != nullptr) {
        return {diagnostics.error(message::kNoRule, missing->c_str()), true};
    }
    if (walk.stopped()) {
        return {status, true};
    }
    // GNU make's -k keeps going; this one keeps the temporary files.
    if (status != 0 && options.keepTemporaries && !options.keepGoing && !onlyLooks) {
        diagnostics.warn("-k keeps the temporary files; to go on after a failed command, as "
                         "GNU make's -k does, use --keep-going");
    }
    if (options.graph) {
        graph.write(stdout, files);
    }
    noteTargets(diagnostics, "these targets failed", outcomes.failedTargets());
    noteTargets(diagnostics, "these targets were skipped, as they depend on a failed one",
                outcomes.skippedTargets());
    return {status, false};
}

// Prints compile_commands.json for the targets; their commands, up to date
// or not, are gathered and none runs.
Made writeCompilationDatabase(const std::vector<std::string>& targets, RuleTable& rules,
                              Platform& platform, const std::string& dependencyFiles,
                              Diagnostics& diagnostics) {
    FileTimeCache files(platform);
    CollectingExecutor executor;
    // Nothing is built: names that no command makes are not missing yet.
    Diagnostics quiet(Diagnostics::Silence::WarningsAndNotes);
    WalkPolicy policy;
    policy.eachTargetOnce = true;
    policy.stepsEndBeforeSiblings = true;
    policy.allOutOfDate = true;
    policy.passesOverCycles = true;
    Walk walk(rules, files, executor, policy, quiet);
    if (!dependencyFiles.empty()) {
        walk.readDependencyFiles(dependencyFiles);
    }
    CompilationDatabase database;
    walk.observe(database);
    if (const std::string* missing = walkTargets(targets, walk, false, quiet)) {
        return {diagnostics.error(message::kNoRule, missing->c_str()), true};
    }
    std::error_code error;
    const std::string directory = std::filesystem::current_path(error).string();
    const std::string text = database.text(executor.jobs(), directory);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return {walk.status(), false};
}

// Notes the ignored options; true, with the status, when an option ends the
// run before any makefile is read (one that cannot be followed, a directory
// that cannot be entered).
bool endsBeforeMakefile(const Options& options, Diagnostics& diagnostics, int& status) {
    for (const std::string& ignored : options.ignored) {
        const bool dryRunMeant = ignored.size() == 2 && (ignored[1] == 'n' || ignored[1] == 'N');
        diagnostics.note("option %s ignored%s", ignored.c_str(),
                         dryRunMeant ? " (for a dry run, use --dry-run)" : "");
    }
    if (!options.unknown.empty()) {
        const std::string nearest = nearestLongOption(options.unknown);
        const std::string hint =
            nearest.empty() ? std::string() : " (did you mean " + nearest + "?)";
        status = diagnostics.error(message::kUnknownOption, options.unknown.c_str(), hint.c_str());
        return true;
    }
    if (!options.invalid.empty()) {
        status = diagnostics.error(message::kInvalidOption, options.invalid.c_str());
        return true;
    }
    if (options.dryRun && !options.traceFile.empty()) {
        status = diagnostics.error(message::kTraceWithDryRun);
        return true;
    }
    if (!options.directory.empty()) {
        std::error_code error;
        std::filesystem::current_path(options.directory, error);
        if (error) {
            status = diagnostics.error(message::kUnableToChangeDirectory, options.directory.c_str(),
                                       error.message().c_str());
            return true;
        }
    }
    return false;
}

MakefileSettings settingsOf(const MacroTable& macros) {
    MakefileSettings settings;
    if (macros.isDefined("TARVO_DEPFILE")) {
        settings.dependencyFiles = macros.valueOf("TARVO_DEPFILE");
    }
    if (macros.isDefined("TARVO_LOG")) {
        settings.logPath = macros.valueOf("TARVO_LOG");
    }
    settings.orderByDependenciesOnly =
        macros.isDefined("TARVO_ORDER") && sameName(macros.valueOf("TARVO_ORDER"), "dependencies");
    return settings;
}

// The run, up to its status; runTarvo adds what --strict asks.
int runOnce(const Options& options, const std::vector<std::string>& environment, Platform& platform,
            const RunLimits& limits, Diagnostics& diagnostics) {
    // Answered before the banner, without reading any makefile.
    if (options.help || options.version) {
        std::fputs(options.help ? kUsageText : versionText().c_str(), stdout);
        return 0;
    }
    // The graph, or the database, is all that the run writes on standard output.
    const bool onlyLooks = options.graph || options.compilationDatabase;
    if (!onlyLooks) {
        std::fputs("TARVO version 1.0\n\n", stdout);
    }
    int status = 0;
    if (endsBeforeMakefile(options, diagnostics, status)) {
        return status;
    }
    // A dry run or a graph leaves every file as it is, other runs' leftovers too.
    const bool sweeps = !options.keepTemporaries && !options.dryRun && !onlyLooks;
    // Registered for this call only: the platform may be gone once it returns.
    const InterruptCleanup cleanup([&platform, sweeps] {
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
        return diagnostics.error(message::kUnableToOpenFile, makefileName.c_str());
    }

    // A run that only looks (a listing, a database or a graph too) writes
    // nothing where it looks, not even there: it works in a read-only directory.
    TemporaryFile records =
        options.dryRun || onlyLooks || options.print
            ? platform.createPrivateTemporaryFile(TemporaryFile::Content::Binary)
            : platform.createTemporaryFile(TemporaryFile::Content::Binary);
    if (!records.created()) {
        return diagnostics.error(message::kUnableToCreateIntermediate, records.name().c_str());
    }
    IntermediateFile intermediate(records.stream());
    {
        Preprocessor preprocessor(macros, evaluator, diagnostics);
        status = preprocessor.preprocessMakefile(makefile.get(), makefileName, intermediate);
    }
    if (!intermediate.finish()) {
        records.release();
        return diagnostics.error(message::kUnableToWriteIntermediate, records.name().c_str());
    }
    makefile.reset();

    if (options.print && !onlyLooks) {
        intermediate.list(stdout);
        records.release();
    } else {
        RuleParser parser(rules, diagnostics);
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
        const MakefileSettings settings = settingsOf(macros);
        const Made made = options.compilationDatabase
                              ? writeCompilationDatabase(targets, rules, platform,
                                                         settings.dependencyFiles, diagnostics)
                              : makeTargets(targets, rules, platform, options, environment,
                                            settings, diagnostics);
        status = made.status;
        if (made.endsAtOnce) {
            return status;
        }
    }

    if (sweeps) {
        platform.sweepTemporaries();
    }
    return status;
}

} // namespace

int runTarvo(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
             Platform& platform, const RunLimits& limits) {
    Options options = scanArguments(arguments);
    // A run that a GNU make (or a tarvo) starts follows its -n and -k.
    const MakeflagsFlags inherited = flagsIn(makeflagsIn(environment));
    options.dryRun = options.dryRun || inherited.dryRun;
    options.keepGoing = options.keepGoing || inherited.keepGoing;
    Diagnostics diagnostics;
    const int status = runOnce(options, environment, platform, limits, diagnostics);
    if (options.strict && diagnostics.warnings() > 0 && status == 0) {
        diagnostics.note("%d warning%s, and --strict makes them fail the run",
                         diagnostics.warnings(), diagnostics.warnings() == 1 ? "" : "s");
        return 1;
    }
    return status;
}
