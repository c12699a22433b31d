#pragma once

#include "containers/NameTable.h"
#include "exec/FileTimeCache.h"
#include "exec/Platform.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
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
    // What is known of one rule making one name, spelled as given where file
    // names tell letter case apart: "FOO.O" and "foo.o" are two files there.
    struct Target {
        // How often the rule making the name, in any spelling, is on the chain;
        // shared by the spellings, so that the chain ignores letter case.
        int* onChain = nullptr;
        bool decided = false;
        bool outOfDate = false;
        std::uint64_t generation = 0;
    };

    MakeContext(RuleTable& rules, Platform& system)
        : rules(rules), cache_(system), platform(cache_) {}

    // The record of the rule making the name; it stays in place for the run.
    Target& targetOf(const Rule& rule, const std::string& name);

    // Each level of dependencies is one level of recursion, so the chain is
    // bounded well within the smallest stack the tool runs on.
    static constexpr std::size_t kMaxDepth = 1000;

    // Puts the rule and name on the chain. When the same rule is already making
    // the same name, or the chain is kMaxDepth long, reports it, stops the run
    // and returns false; the chain is then left as it was.
    bool enter(Target& target, const Rule& rule, const std::string& name);
    void leave(Target& target);

    std::uint64_t generation() const { return cache_.generation(); }
    // The remembered decision, if it is still valid.
    const bool* remembered(const Target& target) const;
    // Remembers a decision that began at `generation`, unless files changed meanwhile.
    void remember(Target& target, std::uint64_t generation, bool outOfDate);

    RuleTable& rules;

  private:
    // Records by name. A name is normally made by one rule only (the one its
    // lookup finds); any other gets a record chained behind the first.
    // Records never move once made, since makes in progress refer to them.
    template <typename Value> struct Record {
        const Rule* rule = nullptr;
        Value value{};
        std::unique_ptr<Record> next;
    };
    template <bool ignoreCase, typename Value>
    static Value& recordOf(NameTable<Record<Value>, ignoreCase>& table, const Rule& rule,
                           const std::string& name);

    FileTimeCache cache_;
    NameTable<Record<Target>, kFileNamesIgnoreCase> targets_;
    // Chain counts by name, letter case ignored, found once per spelling.
    NameTable<Record<int>, true> chainCounts_;

  public:
    Platform& platform;
    std::vector<std::pair<const Rule*, std::string>> chain;
};

// Holds one entry of the chain for the time of one make.
class ChainEntry {
  public:
    ChainEntry(MakeContext& context, MakeContext::Target& target, const Rule& rule,
               const std::string& name)
        : context_(context), target_(target), entered_(context.enter(target, rule, name)) {}
    ~ChainEntry() {
        if (entered_) {
            context_.leave(target_);
        }
    }
    ChainEntry(const ChainEntry&) = delete;
    ChainEntry& operator=(const ChainEntry&) = delete;

    bool entered() const { return entered_; }

  private:
    MakeContext& context_;
    MakeContext::Target& target_;
    bool entered_;
};
