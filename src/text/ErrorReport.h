#pragma once

// The texts of the tool's own errors, which Diagnostics::error prints on
// standard output after "Error (tarvo):"; each gives the run the status 1.
//
// The texts below follow "Error (tarvo):". Those that users and their scripts
// have always seen keep their exact bytes, and two of their quirks are
// intended: some have two blanks after the colon, and five end without a line
// end, so that whatever is printed next continues the line.
namespace message {

// Two blanks, no line end.
inline constexpr char kUnableToOpenFile[] = "  Unable to open file %s";
inline constexpr char kNoRule[] = "  No rule for %s";
inline constexpr char kSyntaxError[] = "  Syntax error in %s, line %s";
inline constexpr char kUnableToOpenInclude[] = "  Unable to open include file %s\n"
                                               "                (make sure KEL_ROOT is defined)";
// One blank, no line end.
inline constexpr char kInvalidDirective[] = " %s, line %ld: Invalid directive !%s";
inline constexpr char kErrorDirective[] = " Error Directive: %s\n";

// The tool's later additions: one blank, one whole line each.
inline constexpr char kUnableToCreateIntermediate[] =
    " Unable to create the intermediate file %s\n";
inline constexpr char kUnableToWriteIntermediate[] = " Unable to write the intermediate file %s\n";
inline constexpr char kUnableToCreateInline[] = " Unable to create the inline file %s\n";
inline constexpr char kUnableToWriteInline[] = " Unable to write the inline file %s\n";
inline constexpr char kInlineNotTerminated[] =
    " Inline file of %s not terminated in the command %s\n";
inline constexpr char kUnableToRun[] = " Unable to run the command %s: %s\n";
inline constexpr char kMacroRefersToItself[] = " %s, line %ld: Macro %s refers to itself\n";
inline constexpr char kMacroWithoutBound[] = " %s, line %ld: Macro %s expands without bound\n";
inline constexpr char kIncludeTooDeep[] =
    " %s, line %ld: Include file %s nested more than %d levels deep\n";
inline constexpr char kDependencyCycle[] = " Dependency cycle %s\n";
inline constexpr char kDependenciesTooDeep[] =
    " Dependencies nested more than %d levels deep, from %s to %s\n";
inline constexpr char kInvalidOption[] = " Invalid option %s\n";
inline constexpr char kUnableToCreateTrace[] = " Unable to create the trace file %s\n";
inline constexpr char kTraceWithDryRun[] = " --trace cannot be used with --dry-run\n";
inline constexpr char kUnableToChangeDirectory[] = " Unable to change to the directory %s: %s\n";
// The option and, when one is near, " (did you mean --name?)".
inline constexpr char kUnknownOption[] = " Unknown option %s%s\n";
// The target, the command's length and the limit.
inline constexpr char kTooLongForInterpreter[] =
    " The command of %s is %lu characters long; cmd accepts %lu. Use an inline file (<<).\n";
inline constexpr char kTooLongForSystem[] =
    " The command of %s is %lu characters long; Windows accepts %lu. Use an inline file (<<).\n";

} // namespace message
