#include "containers/OrderedTree.h"
#include "exec/ParallelExecutor.h"
#include "exec/SequentialExecutor.h"
#include "platform/FileTimeCache.h"
#include "rules/Rule.h"
#include "rules/RuleTable.h"
#include "rules/Walk.h"
#include "support/CapturedOutput.h"
#include "support/FakePlatform.h"
#include "text/Diagnostics.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

TargetRule& addTarget(RuleTable& table, const std::string& name, const Names& dependencies,
                      const Names& commands) {
    TargetRule* rule = new TargetRule(name);
    for (const std::string& dependency : dependencies) {
        rule->addDependency(dependency);
    }
    for (const std::string& command : commands) {
        rule->addCommand(command);
    }
    table.insert(rule);
    return *rule;
}

class MakeTest : public ::testing::Test {
  public:
    using Names = std::vector<std::string>;

    TargetRule& target(const std::string& name, const Names& dependencies, const Names& commands) {
        return addTarget(table, name, dependencies, commands);
    }

    InferenceRule& inference(const std::string& source, const std::string& target,
                             const Names& commands) {
        InferenceRule* rule = new InferenceRule(source, target);
        for (const std::string& command : commands) {
            rule->addCommand(command);
        }
        table.insert(rule);
        return *rule;
    }

    // Makes the name as the driver does; stdout is kept in `output`.
    bool make(const std::string& name) {
        Rule* rule = table.lookup(name);
        EXPECT_NE(rule, nullptr) << name;
        if (rule == nullptr) {
            return false;
        }
        const CapturedOutput captured(stdout);
        const bool result = context.make(name) == Walk::Outcome::OutOfDate;
        output += captured.text();
        return result;
    }

    RuleTable table;
    FakePlatform platform;
    FileTimeCache files{platform};
    SequentialExecutor executor{files, false};
    Diagnostics diagnostics;
    Walk context{table, files, executor, WalkPolicy(), diagnostics};
    std::string output;
};

TEST(RuleTableLookup, ExactNameThenSuffix) {
    RuleTable table;
    table.insert(new TargetRule("main.obj"));
    table.insert(new InferenceRule(".c", ".obj"));
    table.insert(new TargetRule("app"));
    EXPECT_EQ(table.lookup("MAIN.OBJ")->name, "main.obj");
    const Rule* suffix = table.lookup("src\\util.OBJ");
    ASSERT_NE(suffix, nullptr);
    EXPECT_EQ(suffix->name, ".obj");
    EXPECT_EQ(table.lookup("x.y.obj"), suffix);
    EXPECT_EQ(table.lookup("App")->name, "app");
    EXPECT_EQ(table.lookup("other"), nullptr);
    EXPECT_EQ(table.lookup("main.c"), nullptr);
    EXPECT_EQ(table.lookup(".obj"), suffix);
}

// The source replaces everything from the target's last "." on.
TEST(InferenceRuleSource, ReplacesTheLastExtension) {
    const InferenceRule rule(".c", ".obj");
    const std::pair<const char*, const char*> cases[] = {
        {"main.obj", "main.c"},
        {"src\\x.y.obj", "src\\x.y.c"},
        {".obj", ".c"},
        {"noextension", "noextension.c"},
        {"dir.d/name", "dir.c"},
        {"a.", "a.c"},
        {"long-name-beyond-sso.obj", "long-name-beyond-sso.c"},
    };
    for (const auto& [target, source] : cases) {
        EXPECT_EQ(rule.sourceOf(target), source) << target;
    }
}

TEST(RuleTableLookup, FirstOfTwoEqualKeysWins) {
    RuleTable table;
    TargetRule* first = new TargetRule("app");
    first->addDependency("a");
    table.insert(first);
    table.insert(new TargetRule("APP"));
    EXPECT_EQ(table.lookup("app"), first);
}

// Lookups answer what the search tree does, also among equal names in
// several spellings, and still after rules arrive between lookups.
TEST(RuleTableLookup, AnswersAsTheTreeDoes) {
    RuleTable table;
    OrderedTree reference;
    std::vector<std::unique_ptr<TargetRule>> twins;
    const auto add = [&](const std::string& name, int tag) {
        auto* rule = new TargetRule(name);
        rule->addDependency(std::to_string(tag));
        table.insert(rule);
        twins.push_back(std::make_unique<TargetRule>(name));
        twins.back()->addDependency(std::to_string(tag));
        reference.insert(twins.back().get());
    };
    const auto tagOf = [](const Rule* rule) {
        const auto* target = static_cast<const TargetRule*>(rule);
        return rule == nullptr ? std::string("none") : target->dependencies.head()->text();
    };
    const auto check = [&](const std::string& name) {
        const TreeNode* expected = reference.find(name);
        EXPECT_EQ(tagOf(table.lookup(name)), tagOf(static_cast<const Rule*>(expected))) << name;
    };
    int tag = 0;
    // A rotation lifts the second "m" above the first.
    add("m", tag++);
    add("M", tag++);
    add("n", tag++);
    check("m");
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 40; ++i) {
            if ((i + round) % 3 != 0) {
                std::string name = "t" + std::to_string(i);
                if (round == 1) {
                    name[0] = 'T';
                }
                add(name, tag++);
            }
        }
        for (int i = 0; i < 45; ++i) {
            check("t" + std::to_string(i));
            check("T" + std::to_string(i));
        }
    }
}

TEST_F(MakeTest, RuleWithoutDependenciesAlwaysRuns) {
    target("clean", {}, {"rm x"});
    platform.times["clean"] = 99;
    EXPECT_TRUE(make("clean"));
    EXPECT_TRUE(make("clean"));
    EXPECT_EQ(platform.started, (Names{"rm x ", "rm x "}));
}

// The decision itself is tried in DecisionTest; here the walk gathers its evidence.
TEST_F(MakeTest, TimesAreTakenOncePerNameTheTargetFirst) {
    target("t", {"a", "b", "c"}, {"build"});
    platform.times = {{"t", 10}, {"a", 5}, {"b", 11}, {"c", 12}};
    EXPECT_TRUE(make("t"));
    EXPECT_EQ(platform.timeQueries, (Names{"t", "a", "b", "c"}));
}

TEST_F(MakeTest, RemadeDependencyForcesTheTargetWithoutComparingTimes) {
    target("all", {"a", "b"}, {"link"});
    target("a", {}, {"touch a"});
    target("b", {"b.src"}, {"touch b"});
    platform.times = {{"all", 50}, {"a", 10}, {"b", 20}, {"b.src", 5}};
    EXPECT_TRUE(make("all"));
    EXPECT_EQ(platform.started, (Names{"touch a ", "link "}));
    // b was decided too; "all" was never compared: its time is read only for
    // its job, after the decision, to tell a half-made target after an interrupt.
    EXPECT_EQ(platform.timeQueries, (Names{"a", "b", "b.src", "all"}));
}

TEST_F(MakeTest, InferenceRuleMakesTheObjectAndForcesTheProgram) {
    target("app.exe", {"main.obj"}, {"link $@ /out:$<"});
    inference(".c", ".obj", {"cl -c $<"});
    platform.times = {{"app.exe", 30}, {"main.obj", 20}, {"main.c", 25}};
    EXPECT_TRUE(make("app.exe"));
    EXPECT_EQ(platform.started, (Names{"cl -c main.c ", "link main.obj /out:app.exe "}));
    // app.exe's time is read for its job only, after the decision; main.obj's
    // again once its commands ran, to tell whether they made it.
    EXPECT_EQ(platform.timeQueries, (Names{"main.obj", "main.c", "main.obj", "app.exe"}));
}

TEST_F(MakeTest, InferenceRuleDecision) {
    inference(".c", ".obj", {"cl -c $<"});
    platform.times = {{"a.obj", 20}, {"a.c", 20}, {"b.obj", 20}, {"b.c", 19}, {"src\\x.y.c", 1}};
    EXPECT_FALSE(make("a.obj"));
    EXPECT_FALSE(make("b.obj"));
    EXPECT_FALSE(make("missing.obj")); // neither source nor rule
    EXPECT_TRUE(make("src\\x.y.obj"));
    EXPECT_EQ(platform.started, Names{"cl -c src\\x.y.c "});
    EXPECT_EQ(output, "cl -c src\\x.y.c \n");
}

TEST_F(MakeTest, InferenceSourceWithItsOwnRule) {
    inference(".c", ".obj", {"cl -c $<"});
    inference(".y", ".c", {"yacc $<"});
    platform.times = {{"p.obj", 20}, {"p.c", 10}, {"p.y", 30}};
    EXPECT_TRUE(make("p.obj"));
    EXPECT_EQ(platform.started, (Names{"yacc p.y ", "cl -c p.c "}));
}

TEST_F(MakeTest, NothingIsRememberedBetweenDecisions) {
    target("all", {"x", "y", "x"}, {"done"});
    target("x", {}, {"make x"});
    target("y", {"x"}, {"make y"});
    EXPECT_TRUE(make("all"));
    EXPECT_EQ(platform.started, (Names{"make x ", "make x ", "make y ", "make x ", "done "}));
}

TEST_F(MakeTest, WalkGoesOnAfterAFailureButNoCommandRuns) {
    target("all", {"a", "b"}, {"done"});
    target("a", {}, {"fail"});
    target("b", {"b.c"}, {"make b"});
    platform.exitCodes["fail "] = 2;
    platform.times = {{"b.c", 5}};
    EXPECT_TRUE(make("all"));
    EXPECT_EQ(platform.started, Names{"fail "});
    // Whether the failed command changed its target is asked only of a file
    // that is there.
    EXPECT_EQ(platform.timeQueries, (Names{"a", "b", "b.c"}));
    EXPECT_EQ(context.status(), 2);
    EXPECT_FALSE(context.stopped());
}

TEST_F(MakeTest, DirectCycleIsReportedAndStopsTheRun) {
    target("a", {"b"}, {"make a"});
    target("b", {"A"}, {"make b"});
    target("c", {}, {"make c"});
    EXPECT_FALSE(make("a"));
    EXPECT_EQ(output, "Error (tarvo): Dependency cycle a -> b -> A\n");
    EXPECT_TRUE(platform.started.empty());
    EXPECT_EQ(context.status(), 1);
    EXPECT_TRUE(context.stopped());
    EXPECT_FALSE(make("c"));
    EXPECT_TRUE(platform.started.empty());
}

TEST_F(MakeTest, CycleNamesOnlyTheLoopItself) {
    target("all", {"x"}, {});
    target("x", {"y"}, {});
    target("y", {"z"}, {});
    target("z", {"y"}, {});
    EXPECT_FALSE(make("all"));
    EXPECT_EQ(output, "Error (tarvo): Dependency cycle y -> z -> y\n");
}

TEST_F(MakeTest, InferenceRuleThatFindsItself) {
    inference(".c", ".c", {"copy $<"});
    platform.times = {{"x.c", 5}};
    EXPECT_FALSE(make("x.c"));
    EXPECT_EQ(output, "Error (tarvo): Dependency cycle x.c -> x.c\n");
    EXPECT_TRUE(platform.started.empty());
}

TEST_F(MakeTest, DependencyChainsAreBoundedInDepth) {
    // t1 -> t2 -> ... -> t1001: from t2 the chain is as deep as allowed and is
    // made; from t1 it is one level deeper, and the run stops before the stack
    // can run out.
    const int deepest = static_cast<int>(Walk::kMaxDepth);
    for (int i = 1; i <= deepest; ++i) {
        target("t" + std::to_string(i), {"t" + std::to_string(i + 1)}, {});
    }
    target("t" + std::to_string(deepest + 1), {}, {"bottom"});
    EXPECT_TRUE(make("t2"));
    EXPECT_EQ(platform.started, Names{"bottom "});
    EXPECT_FALSE(context.stopped());

    platform.started.clear();
    output.clear();
    EXPECT_FALSE(make("t1"));
    EXPECT_EQ(output, "Error (tarvo): Dependencies nested more than 1000 levels deep, from t1 to "
                      "t1001\n");
    EXPECT_TRUE(platform.started.empty());
    EXPECT_EQ(context.status(), 1);
    EXPECT_TRUE(context.stopped());
}

TEST_F(MakeTest, SameRuleForAnotherNameIsNoCycle) {
    target("app", {"x.obj"}, {"link"});
    inference(".c", ".obj", {"cc $<"});
    target("x.c", {"y.obj"}, {"gen x.c"});
    platform.times = {{"y.c", 5}};
    EXPECT_TRUE(make("app"));
    EXPECT_EQ(platform.started, (Names{"cc y.c ", "gen x.c ", "cc x.c ", "link "}));
    EXPECT_FALSE(context.stopped());
}

} // namespace

namespace {

// Layers of two targets, each depending on both targets of the next layer;
// the last layer depends on a source file.
void buildDiamond(MakeTest& test, int depth) {
    for (int layer = 0; layer < depth; ++layer) {
        for (const char* side : {"a", "b"}) {
            const std::string name = "t" + std::to_string(layer) + side;
            const MakeTest::Names dependencies =
                layer + 1 < depth ? MakeTest::Names{"t" + std::to_string(layer + 1) + "a",
                                                    "t" + std::to_string(layer + 1) + "b"}
                                  : MakeTest::Names{"src"};
            test.target(name, dependencies, {"touch " + name});
        }
    }
}

} // namespace

TEST_F(MakeTest, DecisionsThatChangedNothingAreReusedUntilFilesChange) {
    // A naive walk of this diamond takes 2^30 decisions; reused ones take two per target.
    const int depth = 30;
    buildDiamond(*this, depth);
    platform.times["src"] = 5;
    for (int layer = 0; layer < depth; ++layer) {
        platform.times["t" + std::to_string(layer) + "a"] = 10;
        platform.times["t" + std::to_string(layer) + "b"] = 10;
    }
    EXPECT_FALSE(make("t0a"));
    EXPECT_TRUE(platform.started.empty());
    EXPECT_LE(platform.timeQueries.size(), static_cast<std::size_t>(2 * depth + 1));
}

TEST_F(MakeTest, DiamondFullBuildRunsEachCommandOnceOnceItsFilesAreNew) {
    const int depth = 12;
    buildDiamond(*this, depth);
    platform.times["src"] = 5;
    EXPECT_TRUE(make("t0a"));
    // Each target is made once; once made, it is newer than nothing it depends on.
    EXPECT_EQ(platform.started.size(), static_cast<std::size_t>(2 * depth - 1));
}

TEST_F(MakeTest, ADecisionIsTakenAgainAfterACommandRan) {
    // "y" is up to date when first reached; then "z" touches x, and the second
    // "y" must look again and find x newer.
    target("all", {"y", "z", "y"}, {"done"});
    target("y", {"x"}, {"touch y"});
    target("z", {}, {"touch x"});
    platform.times = {{"all", 1}, {"y", 20}, {"x", 10}};
    EXPECT_TRUE(make("all"));
    EXPECT_EQ(platform.started, (Names{"touch x ", "touch y ", "done "}));
}

TEST_F(MakeTest, ARuleWithoutDependenciesRunsEachTimeEvenWhenReused) {
    target("all", {"c", "c", "c"}, {});
    target("c", {}, {"run c"});
    EXPECT_TRUE(make("all"));
    EXPECT_EQ(platform.started, (Names{"run c ", "run c ", "run c "}));
}

// With jobs side by side each target is made once, and a job waits for the
// jobs of the dependencies that were made.
namespace {

// Makes the target with jobs side by side on the fake's timeline.
void makeSideBySide(RuleTable& table, FakePlatform& platform, const std::string& target) {
    FileTimeCache files(platform);
    ParallelExecutor executor(files, 4, false);
    Diagnostics diagnostics;
    WalkPolicy policy;
    policy.eachTargetOnce = true;
    policy.stepsEndBeforeSiblings = true;
    Walk walk(table, files, executor, policy, diagnostics);
    const CapturedOutput quiet(stdout);
    walk.make(target);
    walk.finish();
}

// With jobs side by side each target is made once, and a job waits for the
// jobs of the dependencies that were made.
TEST(MakeSideBySide, EachTargetOnceAndAfterItsDependencies) {
    RuleTable table;
    addTarget(table, "all", {"a", "b", "c"}, {"link"});
    addTarget(table, "a", {"c"}, {"make a"});
    addTarget(table, "b", {"c"}, {"make b"});
    addTarget(table, "c", {}, {"make c"});
    FakePlatform platform;
    platform.durations["make c "] = 3;
    makeSideBySide(table, platform, "all");
    EXPECT_EQ(platform.events,
              (Names{"start make c ", "end make c ", "start make a ", "start make b ",
                     "end make a ", "end make b ", "start link ", "end link "}));
}

// A dependency whose rule has no dependencies is made for its effects: the
// walk waits for its job before deciding the dependencies after it, as a
// one-job run would have run it first.
TEST(MakeSideBySide, StepsWithoutDependenciesEndBeforeTheNextDecision) {
    RuleTable table;
    addTarget(table, "all", {"sync", "prog"}, {});
    addTarget(table, "sync", {}, {"touch copy"});
    addTarget(table, "prog", {"copy"}, {"link"});
    FakePlatform platform;
    platform.times["prog"] = 500;
    makeSideBySide(table, platform, "all");
    EXPECT_EQ(platform.started, (Names{"touch copy ", "link "}));
}

} // namespace
