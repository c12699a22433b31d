#include "rules/RuleParser.h"

#include "rules/RuleTable.h"

bool RuleParser::isInferenceRuleLine(const std::string& line) {
    return !line.empty() && line[0] == '.';
}

bool RuleParser::isExplicitRuleLine(const std::string& line) {
    return !line.empty() && line[0] != '.' && line.find(':') != std::string::npos;
}

void RuleParser::parseRules(std::FILE*) {}
