// Large makefiles: each is read to the end and handled in full, or refused with
// a message, without a crash and in time that grows with its size only.
#include "e2e/E2eHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using e2e::kBanner;
using e2e::Sandbox;

namespace {

std::string numbered(const char* prefix, int i) {
    return prefix + std::to_string(i);
}

// Compares without printing megabytes on a mismatch.
void expectSame(const std::string& actual, const std::string& expected) {
    EXPECT_EQ(actual.size(), expected.size());
    if (actual != expected) {
        std::size_t at = 0;
        while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
            ++at;
        }
        ADD_FAILURE() << "differs at byte " << at << ": \"" << actual.substr(at, 80)
                      << "\" instead of \"" << expected.substr(at, 80) << "\"";
    }
}

TEST(LargeInput, TenMegabyteMakefile) {
    // 50,000 definitions and 50,000 comment lines of about 100 bytes each,
    // then a rule that uses the last definition.
    std::string makefile;
    const std::string filler(90, 'v');
    for (int i = 0; i < 50000; ++i) {
        makefile += numbered("M", i) + " = " + filler + numbered("", i) + "\n";
        makefile += "# " + filler + filler.substr(0, 8) + "\n";
    }
    makefile += "all:\n\t@echo $(M49999)\n";
    ASSERT_GT(makefile.size(), 10u * 1000 * 1000);
    Sandbox box;
    box.write("tarvo", makefile);
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, kBanner + filler + "49999\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

TEST(LargeInput, LogicalLineOfAMillionCharacters) {
    // One dependency line and one command line, each joined from 10,000
    // physical lines of 100 characters.
    std::string dependencies;
    std::string command;
    std::string echoed;
    for (int i = 0; i < 10000; ++i) {
        const std::string word = numbered("w", 100000 + i) + std::string(92, 'd');
        dependencies += " " + word + " \\\n";
        command += " " + word + " \\\n";
        echoed += word + " ";
    }
    ASSERT_GT(command.size(), 1000000u);
    Sandbox box;
    box.write("w100000" + std::string(92, 'd'), "present");
    box.write("tarvo", "all:" + dependencies + "\n\t@echo" + command + "\n");
    const e2e::Result result = box.run({});
    // Every word is one argument; echo joins them with single blanks.
    echoed.pop_back();
    expectSame(result.output, kBanner + echoed + "\n");
    EXPECT_EQ(result.status, 0);
}

TEST(LargeInput, HundredThousandTargets) {
    // One rule names 100,000 targets, each with a rule of its own.
    std::string all = "all:";
    std::string rules;
    for (int i = 0; i < 100000; ++i) {
        all += numbered(" t", i);
        rules += numbered("t", i) + ":\n\n";
    }
    Sandbox box;
    box.write("tarvo", all + "\n\t@echo made\n\n" + rules);
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, std::string(kBanner) + "made\n");
    EXPECT_EQ(result.status, 0);

    // The same targets on one rule line share its command block.
    std::string line;
    for (int i = 0; i < 100000; ++i) {
        line += numbered("u", i) + " ";
    }
    box.write("tarvo", line + ": dep\n\t@echo $<\n");
    box.write("dep", "");
    const e2e::Result last = box.run({"u99999"});
    EXPECT_EQ(last.output, std::string(kBanner) + "u99999\n");
    EXPECT_EQ(last.status, 0);
}

TEST(LargeInput, HundredThousandTargetsInOneChain) {
    // Each target depends on the next: far deeper than the stack could follow,
    // so the run stops with a message at the bound.
    std::string makefile;
    for (int i = 0; i < 100000; ++i) {
        makefile += numbered("t", i) + numbered(": t", i + 1) + "\n\n";
    }
    Sandbox box;
    box.write("tarvo", makefile + "t100000:\n\t@echo bottom\n");
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output,
              std::string(kBanner) +
                  "Error (tarvo): Dependencies nested more than 1000 levels deep, from t0 to "
                  "t1000\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(box.list(), std::vector<std::string>{"tarvo"});
}

TEST(LargeInput, TenThousandNestedConditionalBlocks) {
    std::string taken;
    std::string skipped = "!if a == b\n";
    for (int i = 0; i < 10000; ++i) {
        taken += numbered("!if a", i) + numbered(" == A", i) + "\n";
        skipped += "!if a == a\n";
    }
    taken += "inside\n";
    skipped += "inside\n";
    for (int i = 0; i < 10000; ++i) {
        taken += "!endif\n";
        skipped += "!endif\n";
    }
    // The outer block of the skipped part is still open: its !else is taken.
    skipped += "!else\nelse\n!endif\n";
    Sandbox box;
    box.write("tarvo", taken + "after\n" + skipped + "end\n");
    const e2e::Result result = box.run({"-p"});
    EXPECT_EQ(result.output, std::string(kBanner) + "tarvo,10001|inside\ntarvo,20002|after\n" +
                                 "tarvo,40006|else\ntarvo,40008|end\n");
    EXPECT_EQ(result.status, 0);
}

} // namespace
