#pragma once

#include "platform/FoundPrograms.h"
#include "platform/TemporaryFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Diagnostics;
class CommandObserver;
class OutputSpool;
class Platform;
struct Job;
struct JobCommand;

// A command line as it is echoed and started: its "-" and "@" prefixes taken
// off, and its words joined again by single blanks with one blank at the end.
struct RebuiltCommand {
    std::string text;
    bool echo = true;        // no "@"
    bool stopOnError = true; // no "-"
};

RebuiltCommand rebuildCommand(std::string_view pending);

// What a job shows on standard output around its commands' own output, the
// same whichever executor runs it, a dry run's included.
//
// Says why the job's target is out of date, when that is to be explained.
void explainJob(const Job& job, Diagnostics& diagnostics);
// A command line as it is started.
void echoCommand(std::string_view text);
// The lines of an inline file, indented below its command as a dry run shows them.
void echoInlineLines(const std::vector<std::string>& lines);

// One command of a job on its way from its line, the special macros replaced,
// to its end: made ready by CommandRunner::prepare (its inline file written,
// its length checked, its words joined again), started, and ended by
// CommandRunner::end. It holds its inline file until then.
class CommandRun {
  public:
    const std::string& text() const { return command_.text; }
    bool echoes() const { return command_.echo; }
    bool stopsOnError() const { return command_.stopOnError; }
    // The id its observer knows it by, once it has started.
    std::uint64_t id() const { return id_; }

    // Writes what the command shows as one block, once it has ended, so that
    // the output of commands running side by side never mixes: the job's
    // explanation before its first command, the echo, and what the command
    // wrote, each to the stream it was written to.
    void showBlock(const Job& job, bool first, OutputSpool& output, OutputSpool& errors,
                   Diagnostics& diagnostics) const;

  private:
    friend class CommandRunner;

    RebuiltCommand command_;
    TemporaryFile inlineFile_;
    std::uint64_t id_ = 0;
};

// Takes each command of a run's jobs the same way from its line to its end,
// whether the executor runs it alone, its output going straight out, or beside
// others, its output collected. It keeps what the commands share: the
// platform, whether temporary files stay, and the programs found on the
// search path.
class CommandRunner {
  public:
    CommandRunner(Platform& platform, bool keepTemporaries);
    ~CommandRunner();
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    // Makes a command ready to start. For a command that opens an inline file,
    // the file is written first under a fresh temporary name, which takes the
    // place of the "<<" and what follows it. A line longer than where it starts
    // accepts is refused. Nothing after an error, which has been reported.
    std::optional<CommandRun> prepare(const Job& job, const JobCommand& command,
                                      Diagnostics& diagnostics);
    // Runs the command and waits for it; what it writes goes straight out.
    // Returns its exit code.
    std::uint32_t run(CommandRun& command, const Job& job, CommandObserver* observer);
    // Starts the command without waiting; what it writes is collected, and
    // the platform hands it over with the command's end, under command.id().
    void start(CommandRun& command, const Job& job, CommandObserver* observer);
    // What follows the end of every command, once its output is out: a failure
    // that ends the job is noted, unless an interrupt came, and the target gets
    // back its time if the commands changed it; the observer is told; the
    // inline file goes, and the temporary files are swept, unless they are
    // kept. Returns the command's status: its exit code, 0 when a failure is
    // ignored.
    int end(CommandRun& command, const Job& job, std::uint32_t exitCode, CommandObserver* observer,
            Diagnostics& diagnostics);
    // After an interrupt, once the job's commands have begun: removes the
    // target when its commands have changed the file (its time differs from
    // the one read for the decision), so that a half-made target never passes
    // for up to date, and says on standard error whether it went. A target
    // the commands did not touch stays, and so does a directory; a symbolic
    // link is removed itself.
    void removePartlyMade(const Job& job, Diagnostics& diagnostics);

  private:
    // After a command of the job failed: a target whose file its commands
    // changed gets back the time read for the decision (the oldest time there
    // is, when it was missing then), so that the next run makes it again, and
    // standard error says so. The file itself stays for what it holds, such as
    // a test's log. A directory is left as it is; a symbolic link gets the
    // time itself, never the file it points to.
    void setBackFailed(const Job& job, Diagnostics& diagnostics);

    Platform& platform_;
    const bool keepTemporaries_;
    FoundPrograms programs_;
    std::uint64_t runs_ = 0; // ids of the commands run one at a time
};
