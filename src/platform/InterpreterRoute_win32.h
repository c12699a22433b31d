#pragma once

#include <cstddef>
#include <string>

// Which command lines cmd runs, and how it is handed them.

// The longest command that cmd runs whole (beyond it, cmd runs nothing and
// succeeds), and the longest command line that CreateProcess takes (32767
// characters with the terminating zero).
constexpr std::size_t kInterpreterLimit = 8191;
constexpr std::size_t kSystemLimit = 32766;

// Whether the line holds cmd's own syntax: ">", "<", "|" or "&" outside double
// quotes, or a %NAME% reference to a variable that cmd would expand. Started
// directly, such a line would hand its redirections to the program as
// arguments.
bool needsInterpreter(const std::string& commandLine);

// Whether the line starts a batch file (.bat, .cmd), which CreateProcess
// hands to cmd.
bool startsBatchFile(const std::string& commandLine);

// Whether the program the line starts is one CreateProcess finds; when it is
// not, the line goes to cmd.
bool startsProgramFound(const std::string& commandLine);

// The line as cmd takes it: "cmd /S /C "line"", whose outer quotes cmd
// removes and nothing else, so that a quoted program path with a blank stays
// whole.
std::string interpreterLine(const std::string& commandLine);

// The length of the line in the characters that the system counts, which a
// double-byte code page makes fewer than its bytes.
std::size_t lengthInCharacters(const std::string& commandLine);
