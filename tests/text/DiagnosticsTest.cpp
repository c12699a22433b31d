#include "text/Diagnostics.h"

#include "support/CapturedOutput.h"
#include "text/TransientLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Records its erasures among what is written, as a mark on standard error.
class MarkedLine : public TransientLine {
  public:
    void erase() override {
        std::fputs("[erased]", stderr);
        ++erased;
    }
    int erased = 0;
};

struct Said {
    std::string output;
    std::string errors;
};

// Says one of each kind through diagnostics.
Said sayEachKind(Diagnostics& diagnostics, int& status) {
    const CapturedOutput output(stdout);
    const CapturedOutput errors(stderr);
    status = diagnostics.error(" No rule for %s", "x");
    diagnostics.warn("%s: %d", "warned", 1);
    diagnostics.note("noted %s", "y");
    return {output.text(), errors.text()};
}

TEST(Diagnostics, EachKindGoesWhereItBelongs) {
    const struct {
        Diagnostics::Silence silence;
        const char* output;
        const char* errors;
        int warnings;
    } kCases[] = {
        {Diagnostics::Silence::None, "Error (tarvo): No rule for x",
         "tarvo: warned: 1\ntarvo: noted y\n", 1},
        {Diagnostics::Silence::WarningsAndNotes, "Error (tarvo): No rule for x", "", 0},
        {Diagnostics::Silence::Everything, "", "", 0},
    };
    for (const auto& c : kCases) {
        Diagnostics diagnostics(c.silence);
        int status = 0;
        const Said said = sayEachKind(diagnostics, status);
        const int silence = static_cast<int>(c.silence);
        EXPECT_EQ(status, 1) << silence;
        EXPECT_EQ(said.output, c.output) << silence;
        EXPECT_EQ(said.errors, c.errors) << silence;
        EXPECT_EQ(diagnostics.warnings(), c.warnings) << silence;
    }
}

TEST(Diagnostics, TheLineIsErasedBeforeEachMessageSaid) {
    Diagnostics diagnostics;
    MarkedLine line;
    diagnostics.drawnBelow(&line);
    int status = 0;
    const Said said = sayEachKind(diagnostics, status);
    EXPECT_EQ(line.erased, 3);
    EXPECT_EQ(said.errors, "[erased][erased]tarvo: warned: 1\n[erased]tarvo: noted y\n");

    diagnostics.drawnBelow(nullptr);
    sayEachKind(diagnostics, status);
    EXPECT_EQ(line.erased, 3);

    Diagnostics silent(Diagnostics::Silence::Everything);
    silent.drawnBelow(&line);
    sayEachKind(silent, status);
    EXPECT_EQ(line.erased, 3);
}

TEST(Diagnostics, ErrorTextIsTheErrorAsPrinted) {
    EXPECT_EQ(Diagnostics::errorText(" Unable to run the command %s: %s\n", "cc", "gone"),
              "Error (tarvo): Unable to run the command cc: gone\n");
    EXPECT_EQ(Diagnostics::errorText("%s", ""), "Error (tarvo):");
}

TEST(Diagnostics, FirstTimeOnlyOnce) {
    Diagnostics diagnostics;
    EXPECT_TRUE(diagnostics.firstTime("a"));
    EXPECT_FALSE(diagnostics.firstTime("a"));
    EXPECT_TRUE(diagnostics.firstTime("b"));
}

} // namespace
