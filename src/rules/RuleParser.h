#pragma once

#include <cstdio>
#include <string>

class RuleTable;

// Pass 2: reads the intermediate file back into rules with their command blocks.
class RuleParser {
  public:
    explicit RuleParser(RuleTable& rules) : rules_(rules) {}

    void parseRules(std::FILE* file);

    static bool isInferenceRuleLine(const std::string& line);
    static bool isExplicitRuleLine(const std::string& line);

  private:
    RuleTable& rules_;
};
