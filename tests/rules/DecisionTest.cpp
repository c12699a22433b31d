#include "rules/Decision.h"
#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

// One entry of a dependency list: "name" is a plain dependency, "+name" one
// whose rule was made in this run, "=name" one with a rule, ".WAIT" a mark.
struct Entry {
    const char* spelling;
    FileTime time;
};

struct Listed {
    const char* name;
    FileTime time;
};

struct DecisionCase {
    const char* name;
    bool fromSource;
    FileTime targetTime;
    std::vector<Entry> dependencies;
    std::vector<Listed> listed;
    // What the decision says, as --explain words it for the target "t"; empty
    // where it is up to date.
    std::string explained;
    // What the build record says: none kept or the target unknown (null),
    // "command" changed, inputs "same", "differ" or "differ:NAME", "pending".
    const char* recorded = nullptr;
};

void PrintTo(const DecisionCase& c, std::ostream* out) {
    *out << c.name;
}

Evidence evidenceOf(const DecisionCase& c) {
    Evidence evidence;
    evidence.fromSource = c.fromSource;
    evidence.targetTime = c.targetTime;
    for (const Entry& entry : c.dependencies) {
        Evidence::Dependency dependency;
        std::string_view spelling = entry.spelling;
        dependency.waitMark = spelling == ".WAIT";
        dependency.made = spelling.front() == '+';
        dependency.hasRule = dependency.made || spelling.front() == '=';
        if (dependency.hasRule) {
            spelling.remove_prefix(1);
        }
        dependency.name = spelling;
        dependency.time = entry.time;
        evidence.dependencies.push_back(dependency);
    }
    if (!c.listed.empty()) {
        evidence.listedBy = "t.d";
    }
    for (const Listed& listed : c.listed) {
        evidence.listed.push_back({listed.name, listed.time});
    }
    if (c.recorded != nullptr) {
        using Inputs = Evidence::Recorded::Inputs;
        const std::string_view said = c.recorded;
        Evidence::Recorded recorded;
        recorded.commandChanged = said == "command";
        recorded.inputs = said == "pending"               ? Inputs::Pending
                          : said.substr(0, 6) == "differ" ? Inputs::Differ
                                                          : Inputs::Same;
        if (said.size() > 7) {
            recorded.changed = said.substr(7);
        }
        evidence.recorded = recorded;
    }
    return evidence;
}

// The text --explain gives of a newer name.
std::string newer(const char* what, const char* name, FileTime time, FileTime target) {
    return std::string("t: ") + what + " " + name + " (" + fileTimeText(time) +
           ") is newer than the target (" + fileTimeText(target) + ")";
}

class Decide : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(Decide, OutOfDateAndWhy) {
    const DecisionCase& c = GetParam();
    const Decision decision = decide(evidenceOf(c));
    EXPECT_EQ(decision.outOfDate, !c.explained.empty());
    EXPECT_EQ(decision.outOfDate ? explanation("t", decision) : std::string(), c.explained);
    // Only a decision that waits for made dependencies may yet be cut off.
    EXPECT_EQ(decision.untilSameContent,
              c.recorded != nullptr && std::string_view(c.recorded) == "pending");
}

const DecisionCase kCases[] = {
    {"TargetMissingDependencyPresent", false, 0, {{"d", 5}}, {}, "t: the target does not exist"},
    {"BothMissing", false, 0, {{"d", 0}}, {}, ""},
    {"DependencyNewer", false, 5, {{"d", 6}}, {}, newer("dependency", "d", 6, 5)},
    {"EqualTimes", false, 5, {{"d", 5}}, {}, ""},
    {"DependencyOlder", false, 6, {{"d", 5}}, {}, ""},
    {"DependencyMissing", false, 5, {{"d", 0}}, {}, ""},
    // All 64 bits count, unsigned: no time is too late or too fine to compare.
    {"LateDependencyIsNewer",
     false,
     5,
     {{"d", 0x80000001u}},
     {},
     newer("dependency", "d", 0x80000001u, 5)},
    {"LateTargetIsNewer", false, 0x80000001u, {{"d", 5}}, {}, ""},
    {"HighHalfDecides",
     false,
     0xFFFFFFFFu,
     {{"d", 0x100000000u}},
     {},
     newer("dependency", "d", 0x100000000u, 0xFFFFFFFFu)},
    {"LatestTimes",
     false,
     0xFFFFFFFFFFFFFFFEu,
     {{"d", 0xFFFFFFFFFFFFFFFFu}},
     {},
     newer("dependency", "d", 0xFFFFFFFFFFFFFFFFu, 0xFFFFFFFFFFFFFFFEu)},
    {"FirstNewerIsNamed",
     false,
     10,
     {{"a", 5}, {"b", 11}, {"c", 12}},
     {},
     newer("dependency", "b", 11, 10)},
    {"NoDependencies", false, 99, {}, {}, "t: the rule has no dependencies"},
    {"NoDependenciesBeforeListedNames",
     false,
     5,
     {},
     {{"h", 9}},
     "t: the rule has no dependencies"},
    {"OnlyAWaitMark", false, 5, {{".WAIT", 0}}, {}, ""},
    // A made dependency settles it whatever the times say, and the first made names it.
    {"MadeDependency",
     false,
     50,
     {{"=a", 10}, {"+b", 0}, {"+c", 0}},
     {},
     "t: dependency b has just been made"},
    {"MadeBeforeNewer",
     false,
     50,
     {{"d", 60}, {"+m", 0}},
     {},
     "t: dependency m has just been made"},
    {"MadeSource", true, 50, {{"+p.c", 0}}, {}, "t: source p.c has just been made"},
    {"SourceNewer", true, 20, {{"p.c", 25}}, {}, newer("source", "p.c", 25, 20)},
    {"SourceOlder", true, 20, {{"p.c", 19}}, {}, ""},
    {"SourceMissingTargetMissing", true, 0, {{"p.c", 0}}, {}, ""},
    {"SourceWithoutTarget", true, 0, {{"p.c", 1}}, {}, "t: the target does not exist"},
    {"ListedNameNewer",
     false,
     10,
     {{"d", 5}},
     {{"a.h", 3}, {"b.h", 11}},
     newer("dependency", "b.h", 11, 10) + ", as t.d lists it"},
    {"ListedNamesOlder", false, 10, {{"d", 5}}, {{"a.h", 3}, {"b.h", 10}}, ""},
    {"ListedNameOfASource",
     true,
     10,
     {{"t.c", 5}},
     {{"t.h", 12}},
     newer("dependency", "t.h", 12, 10) + ", as t.d lists it"},
    {"ListedNameGone",
     false,
     10,
     {{"d", 5}},
     {{"a.h", 3}, {"gone.h", 0}},
     "t: gone.h, which t.d lists, does not exist"},
    {"NewerDependencyBeforeListed",
     false,
     10,
     {{"d", 11}},
     {{"h", 12}},
     newer("dependency", "d", 11, 10)},
    // With the build record, content and command decide and times do not.
    {"RecordSameContentNewerTime", false, 10, {{"d", 11}}, {{"h", 12}}, "", "same"},
    {"RecordOtherContentOlderTime",
     false,
     10,
     {{"d", 5}},
     {},
     "t: the content of d changed",
     "differ:d"},
    {"RecordOtherContentUnnamed",
     false,
     10,
     {{"d", 5}},
     {},
     "t: what it is made from changed",
     "differ"},
    {"RecordListedNameGone",
     false,
     10,
     {{"d", 5}},
     {{"gone.h", 0}},
     "t: the content of gone.h changed",
     "differ:gone.h"},
    {"RecordCommandChanged", false, 10, {{"d", 5}}, {}, "t: its command changed", "command"},
    {"RecordCommandBeforeMade", false, 10, {{"+d", 0}}, {}, "t: its command changed", "command"},
    {"RecordWaitsForMade",
     false,
     10,
     {{"d", 0}, {"+m", 0}},
     {},
     "t: dependency m has just been made",
     "pending"},
    {"RecordWaitsForMadeSource",
     true,
     10,
     {{"+p.c", 0}},
     {},
     "t: source p.c has just been made",
     "pending"},
    // Made for its effects, whatever any record says.
    {"RecordNoDependencies", false, 10, {}, {}, "t: the rule has no dependencies", "same"},
};

INSTANTIATE_TEST_SUITE_P(Decision, Decide, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// How far the walk looks: times only while no dependency was made, the names
// of a dependency file only while none is newer either.
struct StepCase {
    const char* name;
    std::vector<Entry> dependencies;
    FileTime targetTime;
    bool times;
    bool listed;
};

void PrintTo(const StepCase& c, std::ostream* out) {
    *out << c.name;
}

class Steps : public ::testing::TestWithParam<StepCase> {};

TEST_P(Steps, LookOnlyWhileTheDecisionIsOpen) {
    const StepCase& c = GetParam();
    const Evidence evidence = evidenceOf({c.name, false, c.targetTime, c.dependencies, {}, ""});
    EXPECT_EQ(needsTimes(evidence), c.times);
    EXPECT_EQ(needsListed(evidence), c.listed);
}

const StepCase kSteps[] = {
    {"NothingYet", {{"a", 0}, {"=b", 0}}, 0, true, true},
    {"Made", {{"a", 0}, {"+b", 0}}, 0, false, false},
    {"Newer", {{"a", 3}, {"b", 9}}, 5, true, false},
    {"OlderAndEqual", {{"a", 3}, {".WAIT", 0}, {"b", 5}}, 5, true, true},
    {"NoDependencies", {}, 5, true, true},
};

INSTANTIATE_TEST_SUITE_P(Decision, Steps, ::testing::ValuesIn(kSteps),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
