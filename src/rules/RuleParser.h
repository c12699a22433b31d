#pragma once

#include "preprocess/GnuMakeHabits.h"
#include "preprocess/IntermediateFile.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Diagnostics;
class Rule;
class RuleTable;

// Pass 2: reads the intermediate file back into rules with their command blocks.
class RuleParser {
  public:
    RuleParser(RuleTable& rules, Diagnostics& diagnostics)
        : rules_(rules), diagnostics_(diagnostics), habits_(diagnostics) {}

    // Reads every record. Returns the status: 0, or 1 after a syntax error,
    // which has been reported and ends the reading.
    int parseRules(const IntermediateFile& file);
    // The first target word of the first explicit-rule line, made when no
    // target is requested; none when that line names no target.
    const std::optional<std::string>& defaultTarget() const { return defaultTarget_; }

    static bool isInferenceRuleLine(const std::string& line);
    static bool isExplicitRuleLine(const std::string& line);

  private:
    void parseInferenceRule(const std::string& line, IntermediateFile::Records& records);
    void parseExplicitRule(const std::string& line, IntermediateFile::Records& records);
    // Reads the lines up to the empty line (outside an inline block) that ends
    // the block, adding each to the rule; without a rule they are dropped.
    void readCommandBlock(IntermediateFile::Records& records, Rule* rule, bool inference);
    // Warns of the slips that a command line shows: a rule line that lost the
    // empty line before it, and the habits of GNU make.
    void checkCommand(std::string_view line, const std::string& read, const Rule& rule,
                      bool inference, const IntermediateFile::Records& records);

    RuleTable& rules_;
    Diagnostics& diagnostics_;
    GnuMakeHabits habits_;
    bool defaultTargetPending_ = true;
    std::optional<std::string> defaultTarget_;
};
