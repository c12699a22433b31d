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

    // Puts the rule and name on the chain. When the same rule is already making
    // the same name (letter case ignored), reports the cycle, stops the run and
    // returns false; the chain is then left as it was.
    bool enter(const Rule& rule, const std::string& name);
    void leave() { chain.pop_back(); }

    RuleTable& rules;
    Platform& platform;
    std::vector<std::pair<const Rule*, std::string>> chain;
};

// Holds one entry of the chain for the time of one make.
class ChainEntry {
  public:
    ChainEntry(MakeContext& context, const Rule& rule, const std::string& name)
        : context_(context), entered_(context.enter(rule, name)) {}
    ~ChainEntry() {
        if (entered_) {
            context_.leave();
        }
    }
    ChainEntry(const ChainEntry&) = delete;
    ChainEntry& operator=(const ChainEntry&) = delete;

    bool entered() const { return entered_; }

  private:
    MakeContext& context_;
    bool entered_;
};
