#include "text/CommandMacros.h"
#include "rules/Rule.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(SpecialMacroNames, WithoutExtension) {
    const Pairs cases = {{"main.obj", "main"},       {"a.b.c", "a.b"}, {"noext", "noext"},
                         {"..\\src\\main", "."},     {".obj", ""},     {"dir.d\\x", "dir"},
                         {"src/main.o", "src/main"}, {"", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(withoutExtension(c.first), c.second) << c.first;
    }
}

TEST(SpecialMacroNames, WithoutDirectory) {
    const Pairs cases = {{"src\\main.obj", "main.obj"},
                         {"c:util.lib", "util.lib"},
                         {"c:\\a\\b.c", "b.c"},
                         {"a\\b:c", "b:c"},
                         {"src/main.o", "src/main.o"},
                         {"plain", "plain"},
                         {"dir\\", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(withoutDirectory(c.first), c.second) << c.first;
    }
}

TEST(SpecialMacroReplace, ReplacesEveryOccurrenceOnce) {
    struct Case {
        std::string line;
        std::string replacement;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"cc $< -o $<.x", "a.c", "cc a.c -o a.c.x"},
        {"none here", "x", "none here"},
        {"$<$<", "", ""},
        {"$$<", "y", "$y"},
        // A replacement holding the sequence is not searched again.
        {"a $< b $<", "x$<", "a x$< b x$<"},
        {"$<<", "$", "$<"},
    };
    for (const Case& c : cases) {
        std::string line = c.line;
        replaceSpecial(line, "$<", c.replacement);
        EXPECT_EQ(line, c.expected) << c.line;
    }
}

std::string expand(const Rule& rule, const std::string& line, const std::string& target) {
    std::string buffer = line;
    rule.expandSpecials(buffer, target);
    return buffer;
}

TEST(TargetRuleSpecials, DependenciesTargetAndBase) {
    TargetRule rule("app.exe");
    rule.addDependency("src\\main.obj");
    rule.addDependency("c:util.lib");
    EXPECT_EQ(expand(rule, "link /out:$< $@", "app.exe"), "link /out:app.exe main.obj util.lib");
    EXPECT_EQ(expand(rule, "$* $< $&", "APP.EXE"), "APP APP.EXE $&");
    TargetRule bare("all");
    EXPECT_EQ(expand(bare, "echo [$@] $*", "all"), "echo [] all");
}

TEST(TargetRuleSpecials, LaterKindsSeeInsertedText) {
    TargetRule rule("t");
    rule.addDependency("x$@");
    rule.addDependency("y$<");
    // $@ inserts "x$@ y$<": its own "$@" stays, its "$<" becomes the target.
    EXPECT_EQ(expand(rule, "cmd $@", "t.out"), "cmd x$@ yt.out");
}

TEST(TargetRuleSpecials, ManyDependenciesExpandInOnePiece) {
    TargetRule rule("big");
    std::string expected = "ld";
    for (int i = 0; i < 10000; ++i) {
        const std::string name = "o" + std::to_string(i) + ".o";
        rule.addDependency("dir\\" + name);
        expected += " " + name;
    }
    EXPECT_EQ(expand(rule, "ld $@", "big"), expected);
}

TEST(InferenceRuleSpecials, SourceBaseAndBareName) {
    const InferenceRule rule(".c", ".obj");
    EXPECT_EQ(expand(rule, "cl -c $<", "obj\\main.obj"), "cl -c obj\\main.c");
    EXPECT_EQ(expand(rule, "$*.lst", "obj\\main.obj"), "obj\\main.lst");
    EXPECT_EQ(expand(rule, "$& $@", "obj\\main.obj"), "main $@");
    EXPECT_EQ(expand(rule, "$&", "c:x.y.obj"), "x.y");
}

TEST(InferenceRuleSpecials, TargetNameHoldingSpecials) {
    const InferenceRule rule(".c", ".o");
    // Each kind's inserted text is not searched by that kind again, but $&
    // comes last and sees what $< and $* inserted.
    EXPECT_EQ(expand(rule, "$* $<", "a$&.o"), "aa$& aa$&.c");
}

} // namespace
