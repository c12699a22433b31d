#include "driver/Usage.h"

#include "driver/Version.h"

// Kept within 80 columns, so that it reads in any console.
const char kUsageText[] = R"usage(Usage: tarvo [options] [NAME=value ...] [targets ...]

Brings the targets (default: the first target of the makefile) up to date,
running the commands of every rule whose target is out of date.

Options begin with "-" or "/" and are told apart by their second character,
letter case ignored; unknown ones are ignored with a note on standard error.
An unknown option that begins with "--" is an error.
  -f NAME, -fNAME   read the makefile NAME (default: tarvo, then tarvo.mak);
                    a name that cannot be opened is tried again with ".mak"
                    appended, unless a "." follows its last backslash
  -k                keep the temporary files (tarvo*.$$$)
  -p                print the preprocessed makefile as "file,line|text"
                    records and build nothing
  -jN, /jN, -j N, --jobs=N, --jobs N
                    run up to N commands at once; -j alone: as many as there
                    are processors; -j1 or no -j: one at a time; more than
                    one: the slots are shared with the commands through a
                    jobserver in MAKEFLAGS, which a run without -j uses
  --jobserver-style=pipe|fifo
                    hand the jobserver on as two inherited pipe descriptors
                    (pipe, the default, which every GNU make reads) or as a
                    named pipe (fifo, for GNU make 4.4 and later)
  --dry-run         print the commands a real run would print, "@" commands
                    and inline files included; run nothing, change no file
  --explain         before each command, say on standard error why its target
                    is out of date
  --graph           print the dependency graph of the targets in Graphviz dot
                    and build nothing
  --keep-going      after a failed command, make every target that does not
                    depend on it; list what failed and what was skipped
  --compdb          print compile_commands.json (every command that compiles
                    a C or C++ source of the targets) and build nothing
  --trace FILE, --trace=FILE
                    write the commands run to FILE as Chrome trace-event
                    JSON, for Perfetto or chrome://tracing
  --progress=yes|no|auto
                    a progress line at the bottom of the terminal behind
                    standard error (auto, the default: when it is one)
  --strict          end with status 1 after any warning (on standard error),
                    once the build has gone as it would have
  --directory=DIR, --directory DIR
                    change to DIR before anything else
  -h, -?, /?, --help
                    print this help and exit
  --version         print the version and exit

NAME=value defines a macro that the makefile cannot change. Every environment
variable is a macro too, its value cut at the first blank, tab or "=".
  MAKE              the command that starts tarvo again
  MAKEFLAGS         from GNU make: n in it asks for --dry-run, k for
                    --keep-going, and a jobserver in it is shared
  KEL_ROOT          the directory whose include subdirectory holds the files
                    of "!include <name>"
  TARVO_DEPFILE     set in the makefile: the dependency file of each target,
                    as gcc -MMD or cl /sourceDependencies write it; the names
                    in it count as further dependencies
  TARVO_LOG         set in the makefile: a file that each command run adds
                    a line of times to; the progress line's time left uses it
  TARVO_ORDER       set to "dependencies" in the makefile: only dependencies
                    and .WAIT order the jobs, not steps without dependencies
  TARVO_RECORD      a file in which tarvo keeps, for each target it made, its
                    command and the content it was made from: a changed
                    command or content rebuilds, a new time alone does not

Exit status: 0 on success; the exit code of a command that failed; 1 for an
error of tarvo's own ("Error (tarvo): ..." on standard output). A run ended
by a signal ends by that signal.
)usage";

std::string versionText() {
    std::string text = "tarvo ";
    text += kTarvoVersion;
    if (kTarvoCommit[0] != '\0') {
        text += " (commit ";
        text += kTarvoCommit;
        text += ')';
    }
    text += '\n';
    return text;
}
