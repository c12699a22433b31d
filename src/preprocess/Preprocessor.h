#pragma once

#include "preprocess/GnuMakeHabits.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

class ConditionEvaluator;
class Diagnostics;
class IntermediateFile;
class LineReader;
class MacroTable;

// Pass 1: copies a makefile and its include files into the intermediate file,
// expanding macros, recording definitions and obeying directives. The state of
// the conditional blocks lives as long as the preprocessor: blocks opened in
// one file may close in another.
class Preprocessor {
  public:
    Preprocessor(MacroTable& macros, ConditionEvaluator& evaluator, Diagnostics& diagnostics)
        : macros_(macros), evaluator_(evaluator), diagnostics_(diagnostics), habits_(diagnostics) {}
    Preprocessor(const Preprocessor&) = delete;
    Preprocessor& operator=(const Preprocessor&) = delete;

    // Copies the open makefile `fileName` into the intermediate file. Returns the
    // status: 0, or 1 once an error has been reported, which ends pass 1.
    int preprocessMakefile(std::FILE* makefile, const std::string& fileName,
                           IntermediateFile& intermediate);

    // Include files nested deeper than this end pass 1 with an error.
    static constexpr int kMaxIncludeDepth = 64;

  private:
    // One saved (depth, state) pair rather than a stack: it matches a stack for
    // balanced blocks, and stray directives act on the pair.
    struct Conditions {
        enum State { kTaking, kSkippingBranchMayCome, kSkippingToEndif };
        State state = kTaking;
        int depth = 0; // if-family lines met minus !endif lines met
        int savedDepth = 0;
        State savedState = kTaking;
    };

    void preprocessFile(std::FILE* input, IntermediateFile& intermediate);
    // Handles one directive line; returns whether lines are taken afterwards.
    bool processDirective(const std::string& line, IntermediateFile& intermediate);
    // The condition of "if", "ifdef" or "ifndef"; nothing for any other word.
    std::optional<bool> testCondition(const std::string& word, const std::string& argument);
    void includeFile(const std::string& argument, IntermediateFile& intermediate);
    bool reportInvalidDirective(const std::string& name);
    long lineNumber() const;
    // Warns of a "#" after a blank in a definition: it is no comment there.
    void checkDefinition(const std::string& line);
    // Warns, once per macro, of a use of an environment variable whose value
    // the macro holds only the first word of.
    void checkEnvironmentUses();

    MacroTable& macros_;
    ConditionEvaluator& evaluator_;
    Diagnostics& diagnostics_;
    GnuMakeHabits habits_;
    // Where pass 1 reads: the current file's name, and its reader, which counts its lines.
    std::string fileName_;
    const LineReader* reader_ = nullptr;
    Conditions conditions_;
    bool takingLines_ = true;
    int includeDepth_ = 0;
    int status_ = 0;
};
