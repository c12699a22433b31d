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

TEST(SpecialMacroReplace, SearchesAgainWhereTheTextMeetsItsNeighbours) {
    struct Case {
        std::string line;
        std::string replacement;
        std::string expected;
    };
    const std::string n(100000, '$');
    const std::string m(100000, '<');
    const std::string a(100000, 'a');
    const std::vector<Case> cases = {
        {"cc $< -o $<.x", "a.c", "cc a.c -o a.c.x"},
        {"none here", "x", "none here"},
        {"$$<", "y", "$y"},
        {"$$<", "<a", "<aa"},
        {"$<<", "a$", "aa$"},
        {"$<<", "$", "$"},
        {"x$<$<<<", "$", "x$$"},
        // Empty: what is left on both sides meets.
        {"$<$<", "", ""},
        {"a$$<<b", "", "ab"},
        {"$$<x<", "", "$x<"},
        // Holding the sequence, or forming it with a copy of itself: every
        // occurrence of the line as it stands, once.
        {"a $< b $<", "x$<", "a x$< b x$<"},
        {"$$<", "<$", "$<$"},
        {"$<<", "<x$", "<x$<"},
        // Long runs, in time linear in the result.
        {n + "<", "<a", "<" + a},
        {"$" + m, "a$", a + "$"},
        {n + m, "", ""},
        {n + m, "b", n.substr(1) + "b" + m.substr(1)},
    };
    for (const Case& c : cases) {
        std::string line = c.line;
        replaceSpecial(line, "$<", c.replacement);
        EXPECT_EQ(line, c.expected) << c.line.substr(0, 20) << " / " << c.replacement;
    }
}

// The search from the start of the line after each replacement, literally.
std::string replaceFromTheStart(std::string line, const std::string& replacement) {
    for (std::size_t found; (found = line.find("$<")) != std::string::npos;) {
        line.replace(found, 2, replacement);
    }
    return line;
}

TEST(SpecialMacroReplace, AsIfSearchedFromTheStartEachTime) {
    const char alphabet[] = {'$', '<', 'a'};
    const std::string replacements[] = {"", "a", "<", "$", "<a", "a$", "<<", "$$", "a<$a"};
    for (int length = 0; length <= 7; ++length) {
        int count = 1;
        for (int i = 0; i < length; ++i) {
            count *= 3;
        }
        for (int code = 0; code < count; ++code) {
            std::string line;
            for (int i = 0, rest = code; i < length; ++i, rest /= 3) {
                line += alphabet[rest % 3];
            }
            for (const std::string& replacement : replacements) {
                std::string replaced = line;
                replaceSpecial(replaced, "$<", replacement);
                EXPECT_EQ(replaced, replaceFromTheStart(line, replacement))
                    << line << " / " << replacement;
            }
        }
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
    // The text of $& holds "$&", so it is inserted once per occurrence; $&
    // comes last and sees what $< and $* inserted.
    EXPECT_EQ(expand(rule, "$* $<", "a$&.o"), "aa$& aa$&.c");
}

} // namespace
