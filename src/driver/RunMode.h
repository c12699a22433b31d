#pragma once

#include "driver/CommandLine.h"

// What a run does with the targets once the makefile is read.
enum class RunMode {
    // Runs the commands of what is out of date.
    Build,
    // Prints the commands a build would run, and runs none (--dry-run).
    DryRun,
    // Draws the targets and their dependencies (--graph).
    Graph,
    // Lists every command, up to date or not (--compdb).
    CompilationDatabase,
    // Gathers what a build is expected to run, for its progress line.
    Plan,
};

// The mode the options ask for; a graph or a database is all such a run
// makes, even when a dry run is asked for too.
inline RunMode runModeOf(const Options& options) {
    if (options.compilationDatabase) {
        return RunMode::CompilationDatabase;
    }
    if (options.graph) {
        return RunMode::Graph;
    }
    return options.dryRun ? RunMode::DryRun : RunMode::Build;
}

// Nothing is run and no file is written: a dry run, a graph, a database or a plan.
inline bool onlyLooks(RunMode mode) {
    return mode != RunMode::Build;
}

// Standard output carries the result alone (a graph, a database): no banner,
// no listing of the makefile.
inline bool writesResultAlone(RunMode mode) {
    return mode == RunMode::Graph || mode == RunMode::CompilationDatabase;
}
