#pragma once

#include "exec/FileTimeCache.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class Platform;
class Rule;
class RuleTable;

// What a make needs besides its rule: the other rules, the platform (behind a
// cache of file times), the chain of targets being made (to stop a dependency
// cycle) and the decisions that may be reused.
//
// A decision during which no file changed depends only on the file times, the
// rules and the build status, none of which changed either; until files
// change, deciding again would give the same answer and do nothing visible.
// So such decisions are remembered until the cache's generation moves on.
class MakeContext {
  public:
    MakeContext(RuleTable& rules, Platform& system)
        : rules(rules), cache_(system), platform(cache_) {}

    // Identifies a rule making a name (letter case ignored).
    static std::string keyOf(const Rule& rule, const std::string& name);

    // Each level of dependencies is one level of recursion, so the chain is
    // bounded well within the smallest stack the tool runs on.
    static constexpr std::size_t kMaxDepth = 1000;

    // Puts the rule and name on the chain. When the same rule is already making
    // the same name, or the chain is kMaxDepth long, reports it, stops the run
    // and returns false; the chain is then left as it was.
    bool enter(const std::string& key, const Rule& rule, const std::string& name);
    void leave(const std::string& key);

    std::uint64_t generation() const { return cache_.generation(); }
    // The remembered decision for the key, if it is still valid.
    const bool* remembered(const std::string& key) const;
    // Remembers a decision that began at `generation`, unless files changed meanwhile.
    void remember(const std::string& key, std::uint64_t generation, bool outOfDate);

    RuleTable& rules;

  private:
    struct Decision {
        std::uint64_t generation;
        bool outOfDate;
    };

    FileTimeCache cache_;
    std::unordered_map<std::string, int> onChain_;
    std::unordered_map<std::string, Decision> decisions_;

  public:
    Platform& platform;
    std::vector<std::pair<const Rule*, std::string>> chain;
};

// Holds one entry of the chain for the time of one make.
class ChainEntry {
  public:
    ChainEntry(MakeContext& context, const std::string& key, const Rule& rule,
               const std::string& name)
        : context_(context), key_(key), entered_(context.enter(key, rule, name)) {}
    ~ChainEntry() {
        if (entered_) {
            context_.leave(key_);
        }
    }
    ChainEntry(const ChainEntry&) = delete;
    ChainEntry& operator=(const ChainEntry&) = delete;

    bool entered() const { return entered_; }

  private:
    MakeContext& context_;
    const std::string& key_;
    bool entered_;
};
