#pragma once

#include <string>
#include <utility>
#include <vector>

class Platform;
class Rule;
class RuleTable;

// What a make needs besides its rule: the other rules, the platform, and the
// chain of targets being made (to stop a dependency cycle).
class MakeContext {
  public:
    MakeContext(RuleTable& rules, Platform& platform) : rules(rules), platform(platform) {}

    RuleTable& rules;
    Platform& platform;
    std::vector<std::pair<const Rule*, std::string>> chain;
};
