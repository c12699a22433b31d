#pragma once

#include <string>

// What differs between systems in the names that the tool makes or matches.

// Whether the tool's temporary names ("tarvo*.$$$") match letter case exactly.
// On POSIX the tool makes only lower-case ones, and a "TARVO0.$$$" there is a
// user's file; Windows ignores letter case in names.
bool temporaryNamesMatchCase();

// Whether a text file ends at its first Ctrl-Z, as Windows reads text (copy
// a+b c writes one at the end); other systems know no such mark.
bool textEndsAtControlZ();

// Whether a file may be renamed over one that another program holds open.
// Windows refuses, so there no file is held open that another run may replace.
bool openFilesCanBeReplaced();

// The separator between the directories of a path that the tool builds itself.
const char* directorySeparator();

// The built-in value of the macro MAKE: a command word that starts the tool
// again.
std::string makeCommand();

// How a command line refers to the value of an environment variable, whole.
std::string environmentReference(const std::string& name);
