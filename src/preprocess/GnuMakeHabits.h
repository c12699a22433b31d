#pragma once

#include "text/InlineBlock.h"

#include <string>
#include <string_view>

class ConditionEvaluator;
class Diagnostics;
class MacroTable;

// Warns of what GNU make's users write out of habit and this dialect reads
// otherwise, each once, with the file and line where it is written. Pass 1
// and pass 2 hold one each: pass 1 sees the references before they vanish
// and the lines that no definition takes; pass 2 knows the rule of a command.
class GnuMakeHabits {
  public:
    explicit GnuMakeHabits(Diagnostics& diagnostics) : diagnostics_(diagnostics) {}
    GnuMakeHabits(const GnuMakeHabits&) = delete;
    GnuMakeHabits& operator=(const GnuMakeHabits&) = delete;

    // Pass 1, a line that holds "$(", before its expansion; `kept` unless a
    // skipped block drops it: automatic variables and functions, which name
    // no macro, and, in a command, an undefined macro whose vanishing turns
    // the next word into a prefix.
    void checkReferences(const std::string& line, const MacroTable& macros, bool kept,
                         const std::string& file, long number);
    // Pass 1, each line written to the intermediate file: assignments that
    // are no definition here. It also follows the command blocks.
    void checkRecord(const std::string& line, const std::string& file, long number);
    // Pass 1, the condition of an !if or !elif that `holds` or not: a word
    // that the condition's words split, where that changes the outcome.
    void checkCondition(const std::string& condition, bool holds, ConditionEvaluator& evaluator,
                        const std::string& file, long number);

    // Pass 2, a line outside any command block, a rule line or not: GNU
    // make's directives and pattern rules.
    void checkRuleLine(std::string_view line, const std::string& file, const std::string& lineText);
    // Pass 2, a command line without its leading blanks; `firstColumn` when
    // it was written there. `targetExtension` is that of an inference rule,
    // null for an explicit rule.
    void checkCommand(std::string_view line, bool firstColumn, const std::string* targetExtension,
                      const std::string& file, const std::string& lineText);

  private:
    enum class Block { None, Explicit, Inference };

    void say(const std::string& file, const std::string& lineText, const std::string& message);
    void checkAssignment(const std::string& line, const std::string& file, long number);
    void checkFirstWord(const std::string& line, const MacroTable& macros, const std::string& file,
                        long number);
    void checkDirective(std::string_view line, bool inBlock, const std::string& file,
                        const std::string& lineText);
    void checkPatternRule(std::string_view line, const std::string& file,
                          const std::string& lineText);

    Diagnostics& diagnostics_;
    // The command block that pass 1 is in, as pass 2 will read it.
    Block block_ = Block::None;
    InlineBlock inline_;
};
