#include "exec/PartlyMade.h"

#include "exec/Job.h"
#include "support/CapturedOutput.h"
#include "support/FakePlatform.h"
#include "text/Diagnostics.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A target that the interrupted commands changed goes, and the note says so
// only when it has gone.
TEST(PartlyMade, SaysWhetherTheTargetWasRemoved) {
    for (const bool removable : {true, false}) {
        FakePlatform platform;
        platform.times["out.o"] = 7;
        if (!removable) {
            platform.unremovable.insert("out.o");
        }
        Job job;
        job.target = "out.o";
        job.targetTime = 5;
        Diagnostics diagnostics;
        std::string errors;
        {
            const CapturedOutput captured(stderr);
            removePartlyMade(platform, job, diagnostics);
            errors = captured.text();
        }
        EXPECT_EQ(platform.times.count("out.o"), removable ? 0u : 1u);
        EXPECT_EQ(errors, removable
                              ? "tarvo: out.o: removed, since its commands were interrupted\n"
                              : "tarvo: out.o: could not be removed, though its commands were "
                                "interrupted\n");
    }
}

} // namespace
