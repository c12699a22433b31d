#include "driver/Driver.h"

#include "containers/NameCompare.h"
#include "driver/BuildWatch.h"
#include "driver/CommandLine.h"
#include "driver/CompilationDatabase.h"
#include "driver/DotGraph.h"
#include "driver/Makeflags.h"
#include "driver/RunMode.h"
#include "driver/Usage.h"
#include "driver/WalkForMode.h"
#include "exec/BuildRecord.h"
#include "exec/Executor.h"
#include "exec/JobOutcomes.h"
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
#include "text/Diagnostics.h"
#include "text/ErrorReport.h"

#include <algorithm>
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
    // The build record, as TARVO_RECORD names it; empty: none is kept.
    std::string recordPath;
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

// The jobserver that a build shares: its own with -jN, else the one that
// MAKEFLAGS names, if any. A run without -j and without one in MAKEFLAGS
// creates and reads nothing. The commands get MAKEFLAGS naming it, with k when
// the run keeps going.
std::unique_ptr<Jobserver> jobserverFor(const Options& options, const std::string& makeflags,
                                        Diagnostics& diagnostics) {
    CreatedJobserver jobserver;
    if (!options.jobsGiven) {
        jobserver.jobserver = openJobserver(makeflags, diagnostics);
    } else if (options.jobs > 1) {
        jobserver = createJobserver(options.jobs, options.jobserverStyle, diagnostics);
    }
    const std::string forCommands =
        makeflagsForCommands(makeflags, jobserver.makeflags, options.keepGoing);
    if (forCommands != makeflags) {
        setEnvironmentVariable("MAKEFLAGS", forCommands);
    }
    return std::move(jobserver.jobserver);
}

WalkSettings walkSettingsOf(const Options& options, const MakefileSettings& makefile,
                            Jobserver* jobserver) {
    WalkSettings settings;
    settings.jobs = options.jobs;
    settings.jobsGiven = options.jobsGiven;
    settings.keepTemporaries = options.keepTemporaries;
    settings.keepGoing = options.keepGoing;
    settings.explain = options.explain;
    settings.orderByDependenciesOnly = makefile.orderByDependenciesOnly;
    settings.dependencyFiles = makefile.dependencyFiles;
    settings.jobserver = jobserver;
    return settings;
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

// A build, a dry run or a graph of the targets.
Made makeTargets(RunMode mode, const std::vector<std::string>& targets, RuleTable& rules,
                 Platform& platform, const Options& options,
                 const std::vector<std::string>& environment, const MakefileSettings& makefile,
                 Diagnostics& diagnostics) {
    FileTimeCache files(platform);
    const bool builds = !onlyLooks(mode);
    BuildWatch watch(options, builds ? makefile.logPath : std::string(),
                     !environmentValue(environment, BuildWatch::kLineDrawnAbove).empty(),
                     diagnostics);
    if (builds && watch.open() != 0) {
        return {1, true};
    }
    // An interrupted run leaves no progress line behind, and keeps the record
    // and the trace of the commands that ran.
    const InterruptCleanup watchCleanup([&watch] { watch.finish(); });
    // The build takes an interrupt up at its next step, so that a target half
    // made between two commands goes too; a run that only looks ends at once.
    std::optional<InterruptDeferral> deferral;
    if (builds) {
        deferral.emplace();
    }
    // Made before the executor, which holds its tokens until it goes.
    const std::unique_ptr<Jobserver> jobserver =
        builds ? jobserverFor(options, makeflagsIn(environment), diagnostics) : nullptr;
    // Read by every run that decides; written only by a build.
    std::unique_ptr<BuildRecord> record;
    if (!makefile.recordPath.empty()) {
        record = std::make_unique<BuildRecord>(makefile.recordPath, builds);
        const std::string said = record->load();
        if (!said.empty()) {
            diagnostics.warn("%s", said.c_str());
        }
    }
    WalkSettings settings = walkSettingsOf(options, makefile, jobserver.get());
    settings.record = record.get();
    WalkForMode walking(mode, settings, rules, files, diagnostics);
    Walk& walk = walking.walk();
    DotGraph graph;
    if (mode == RunMode::Graph) {
        walk.observe(graph);
    }
    JobOutcomes outcomes;
    if (walking.policy().keepGoing) {
        walking.executor().keepGoing(outcomes);
    }
    if (builds) {
        watch.plan(targets, rules, files, settings);
        watch.attach(walking.executor());
    }
    const std::string* missing = walkTargets(targets, walk, mode != RunMode::Graph, diagnostics);
    const int status = missing == nullptr && !walk.stopped() ? walk.finish() : walk.status();
    // Every command has ended: what follows stands below the build's output.
    watch.finish();
    if (record && builds) {
        // The build's own status stands.
        const std::string failed = record->save();
        if (!failed.empty()) {
            diagnostics.warn("%s", failed.c_str());
        }
    }
    if (missing != nullptr) {
        return {diagnostics.error(message::kNoRule, missing->c_str()), true};
    }
    if (walk.stopped()) {
        return {status, true};
    }
    // GNU make's -k keeps going; this one keeps the temporary files.
    if (status != 0 && options.keepTemporaries && !options.keepGoing && builds) {
        diagnostics.warn("-k keeps the temporary files; to go on after a failed command, as "
                         "GNU make's -k does, use --keep-going");
    }
    if (mode == RunMode::Graph) {
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
                              Platform& platform, const Options& options,
                              const MakefileSettings& makefile, Diagnostics& diagnostics) {
    FileTimeCache files(platform);
    WalkForMode walking(RunMode::CompilationDatabase, walkSettingsOf(options, makefile, nullptr),
                        rules, files, diagnostics);
    Walk& walk = walking.walk();
    CompilationDatabase database;
    walk.observe(database);
    if (const std::string* missing = walkTargets(targets, walk, false, diagnostics)) {
        return {diagnostics.error(message::kNoRule, missing->c_str()), true};
    }
    std::error_code error;
    const std::string directory = std::filesystem::current_path(error).string();
    const std::string text = database.text(walking.gatheredJobs(), directory);
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
    if (macros.isDefined("TARVO_RECORD")) {
        settings.recordPath = macros.valueOf("TARVO_RECORD");
    }
    if (macros.isDefined("TARVO_LOG")) {
        settings.logPath = macros.valueOf("TARVO_LOG");
    }
    settings.orderByDependenciesOnly =
        macros.isDefined("TARVO_ORDER") && sameName(macros.valueOf("TARVO_ORDER"), "dependencies");
    return settings;
}

// While it lives, the platform notes through the run's diagnostics.
class PlatformReports {
  public:
    PlatformReports(Platform& platform, Diagnostics& diagnostics) : platform_(platform) {
        platform_.reportThrough(&diagnostics);
    }
    ~PlatformReports() { platform_.reportThrough(nullptr); }
    PlatformReports(const PlatformReports&) = delete;
    PlatformReports& operator=(const PlatformReports&) = delete;

  private:
    Platform& platform_;
};

// What reading the makefile came to.
struct Read {
    // A status that ends the run at once: the makefile or the intermediate
    // file could not be opened, or pass 1 or pass 2 failed.
    Made made;
    // With -p: the makefile has been listed, and nothing is made.
    bool listed = false;
    // The targets to make: those named, else the makefile's first.
    std::vector<std::string> targets;
};

Read endsAtOnce(int status) {
    Read read;
    read.made = {status, true};
    return read;
}

// Pass 1 into the intermediate file, then its listing (-p) or pass 2 into the rules.
Read readMakefile(const Options& options, RunMode mode, Platform& platform, MacroTable& macros,
                  RuleTable& rules, Diagnostics& diagnostics) {
    std::string makefileName = options.makefileName;
    File makefile = openMakefile(makefileName);
    if (!makefile) {
        return endsAtOnce(diagnostics.error(message::kUnableToOpenFile, makefileName.c_str()));
    }
    // A run that only looks, or lists, writes nothing where it looks, not even
    // there: it works in a read-only directory.
    TemporaryFile records =
        onlyLooks(mode) || options.print
            ? platform.createPrivateTemporaryFile(TemporaryFile::Content::Binary)
            : platform.createTemporaryFile(TemporaryFile::Content::Binary);
    if (!records.created()) {
        return endsAtOnce(
            diagnostics.error(message::kUnableToCreateIntermediate, records.name().c_str()));
    }
    IntermediateFile intermediate(records.stream());
    int status = 0;
    {
        ConditionEvaluator evaluator;
        Preprocessor preprocessor(macros, evaluator, diagnostics);
        status = preprocessor.preprocessMakefile(makefile.get(), makefileName, intermediate);
    }
    if (!intermediate.finish()) {
        records.release();
        return endsAtOnce(
            diagnostics.error(message::kUnableToWriteIntermediate, records.name().c_str()));
    }
    makefile.reset();

    if (options.print && !writesResultAlone(mode)) {
        intermediate.list(stdout);
        records.release();
        Read read;
        read.made.status = status;
        read.listed = true;
        return read;
    }
    RuleParser parser(rules, diagnostics);
    // Pass 2 reads the records even after pass 1 failed; its own error wins.
    const int parsed = parser.parseRules(intermediate);
    if (parsed != 0) {
        status = parsed;
    }
    records.release();
    if (status != 0) {
        return endsAtOnce(status);
    }
    Read read;
    read.targets = options.targets;
    if (read.targets.empty() && parser.defaultTarget()) {
        read.targets.push_back(*parser.defaultTarget());
    }
    return read;
}

// The run, up to its status; runTarvo adds what --strict asks.
int runOnce(const Options& options, const std::vector<std::string>& environment, Platform& platform,
            const RunLimits& limits, Diagnostics& diagnostics) {
    // Answered before the banner, without reading any makefile.
    if (options.help || options.version) {
        std::fputs(options.help ? kUsageText : versionText().c_str(), stdout);
        return 0;
    }
    const RunMode mode = runModeOf(options);
    if (!writesResultAlone(mode)) {
        // The banner's "1.0" is part of the fixed text that makefiles and
        // scripts see; the release is what --version says.
        std::fputs("TARVO version 1.0\n\n", stdout);
    }
    int status = 0;
    if (endsBeforeMakefile(options, diagnostics, status)) {
        return status;
    }
    // A run that only looks leaves every file as it is, other runs' leftovers too.
    const bool sweeps = !options.keepTemporaries && !onlyLooks(mode);
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
    defineMacros(macros, options, environment);
    RuleTable rules;
    const Read read = readMakefile(options, mode, platform, macros, rules, diagnostics);
    if (read.made.endsAtOnce) {
        return read.made.status;
    }
    Made made = read.made;
    if (!read.listed) {
        const MakefileSettings settings = settingsOf(macros);
        made = mode == RunMode::CompilationDatabase
                   ? writeCompilationDatabase(read.targets, rules, platform, options, settings,
                                              diagnostics)
                   : makeTargets(mode, read.targets, rules, platform, options, environment,
                                 settings, diagnostics);
        if (made.endsAtOnce) {
            return made.status;
        }
    }
    if (sweeps) {
        platform.sweepTemporaries();
    }
    return made.status;
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
    const PlatformReports reports(platform, diagnostics);
    const int status = runOnce(options, environment, platform, limits, diagnostics);
    if (options.strict && diagnostics.warnings() > 0 && status == 0) {
        diagnostics.note("%d warning%s, and --strict makes them fail the run",
                         diagnostics.warnings(), diagnostics.warnings() == 1 ? "" : "s");
        return 1;
    }
    return status;
}
