#pragma once

#include <cstdio>
#include <string>
#include <vector>

class LineReader;
class Rule;
class RuleTable;

// Pass 2: reads the intermediate file back into rules with their command blocks.
class RuleParser {
  public:
    explicit RuleParser(RuleTable& rules) : rules_(rules) {}

    // `namesWithComma` as pass 1 gives them, for reading the records back.
    void parseRules(std::FILE* file, std::vector<std::string> namesWithComma = {});

    static bool isInferenceRuleLine(const std::string& line);
    static bool isExplicitRuleLine(const std::string& line);

  private:
    void parseInferenceRule(const std::string& line, LineReader& reader);
    void parseExplicitRule(const std::string& line, LineReader& reader);
    // Reads the lines up to the empty line (outside an inline block) that ends
    // the block, adding each to the rule; without a rule they are dropped.
    static void readCommandBlock(LineReader& reader, Rule* rule);

    RuleTable& rules_;
};
