#include "e2e/E2eHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using e2e::kBanner;
using e2e::Sandbox;

namespace {

struct DirectiveRun {
    const char* name;
    std::string makefile;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> arguments;   // after "-p"
    std::vector<std::string> environment; // added to the default one
    std::string expected;                 // after the banner
    int status;
};

void PrintTo(const DirectiveRun& run, std::ostream* out) {
    *out << run.name;
}

class DirectiveListing : public ::testing::TestWithParam<DirectiveRun> {};

TEST_P(DirectiveListing, PrintsExactly) {
    const DirectiveRun& c = GetParam();
    Sandbox box;
    box.write("tarvo", c.makefile);
    std::vector<std::string> names = {"tarvo"};
    for (const auto& file : c.files) {
        for (std::size_t slash = file.first.find('/'); slash != std::string::npos;
             slash = file.first.find('/', slash + 1)) {
            box.makeDirectory(file.first.substr(0, slash));
        }
        box.write(file.first, file.second);
        const std::string topLevel = file.first.substr(0, file.first.find('/'));
        if (std::find(names.begin(), names.end(), topLevel) == names.end()) {
            names.push_back(topLevel);
        }
    }
    std::vector<std::string> arguments = {"-p"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    std::vector<std::string> environment = Sandbox::defaultEnvironment();
    environment.insert(environment.end(), c.environment.begin(), c.environment.end());

    const e2e::Result result = box.run(arguments, environment);
    EXPECT_EQ(result.output, kBanner + c.expected);
    EXPECT_EQ(result.status, c.status);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(box.list(), names) << "intermediate file left behind";
}

const char kUnableToOpen[] = "Error (tarvo):  Unable to open include file ";
const char kMakeSure[] = "\n                (make sure KEL_ROOT is defined)";

const DirectiveRun kRuns[] = {
    {"ConditionOnCommandLineMacro",
     "!if \"$(MODE)\" == \"debug\"\nflags: -g\n!elif $(MODE) == release\nflags: -O2\n!else\n"
     "!error unknown mode $(MODE)\n!endif\nend\n",
     {},
     {"MODE=DEBUG"},
     {},
     "tarvo,2|flags: -g\ntarvo,8|end\n",
     0},
    {"ElifTaken",
     "!if \"$(MODE)\" == \"debug\"\nflags: -g\n!elif $(MODE) == release\nflags: -O2\n!else\n"
     "!error unknown mode $(MODE)\n!endif\n",
     {},
     {"MODE=Release"},
     {},
     "tarvo,4|flags: -O2\n",
     0},
    {"ErrorDirectiveBeforeListing",
     "a\n!if $(MODE) == debug\n!elif $(MODE) == release\n!else\n!error unknown mode $(MODE)\n"
     "!endif\nz\n",
     {},
     {"MODE=fast"},
     {},
     "Error (tarvo): Error Directive: unknown mode fast\ntarvo,1|a\n",
     1},
    {"IfdefOfEnvironmentVariable",
     "!ifdef HOME\nhome\n!endif\n!ifndef NOWHERE\nnowhere\n!endif\n",
     {},
     {},
     {"HOME=/h"},
     "tarvo,2|home\ntarvo,5|nowhere\n",
     0},
    {"UndefOfLockedMacroIsSilent",
     "!undef CC\nX = 1\n!undef x\nv: $(CC) [$(X)]\n",
     {},
     {"CC=gcc"},
     {},
     "tarvo,4|v: gcc []\n",
     0},
    {"InvalidDirectiveRunsIntoListing",
     "a\n!iffy\nb\n",
     {},
     {},
     {},
     "Error (tarvo): tarvo, line 2: Invalid directive !iffytarvo,1|a\n",
     1},
    {"InvalidDirectiveInSkippedRegion",
     "!if 0\n!message hi\n!endif\n",
     {},
     {},
     {},
     "Error (tarvo): tarvo, line 2: Invalid directive !message",
     1},
    {"MisspeltIfInSkippedRegionOpensBlock",
     "!if 0\n!iffy\n!endif\n!else\ntaken\n!endif\n",
     {},
     {},
     {},
     "tarvo,5|taken\n",
     0},
    {"ElseOutsideAnyBlock", "!else\na\n!if 1\nb\n!endif\nc\n", {}, {}, {}, "tarvo,6|c\n", 0},
    {"StrayEndifKeepsLinesDropped", "!else\na\n!endif\n!if 1\nb\n!endif\nc\n", {}, {}, {}, "", 0},
    {"IncludeFromCurrentDirectory",
     "A = 1\n!include defs.mak\nx: $(B)\n",
     {{"defs.mak", "B = $(A)2\n\nrule: $(A)\n"}},
     {},
     {},
     "defs.mak,2|\ndefs.mak,3|rule: 1\ntarvo,3|x: 12\n",
     0},
    {"IncludeThroughKelRoot",
     "!include <defs.mak>\n!include \"defs.mak\"\n",
     {{"kel/include/defs.mak", "from kel\n"}, {"defs.mak", "from here\n"}},
     {},
     {"KEL_ROOT=kel"},
     "kel/include/defs.mak,1|from kel\ndefs.mak,1|from here\n",
     0},
    {"MissingInclude",
     "a\n!include <defs.mak>\nb\n",
     {},
     {},
     {"KEL_ROOT=C:\\kel"},
     std::string("") + kUnableToOpen + "C:\\kel/include/defs.mak" + kMakeSure + "tarvo,1|a\n",
     1},
    {"ErrorInsideInclude",
     "a\n!include defs.mak\nb\n",
     {{"defs.mak", "d\n!error from defs\ne\n"}},
     {},
     {},
     "Error (tarvo): Error Directive: from defs\ntarvo,1|a\ndefs.mak,1|d\n",
     1},
    {"InvalidDirectiveInsideIncludeNamesIt",
     "!include defs.mak\n",
     {{"defs.mak", "\n\n!bogus\n"}},
     {},
     {},
     "Error (tarvo): defs.mak, line 3: Invalid directive !bogusdefs.mak,1|\ndefs.mak,2|\n",
     1},
    {"NestedIncludesWriteInPlace",
     "1\n!include a.mak\n3\n",
     {{"a.mak", "a1\n!include b.mak\na3\n"}, {"b.mak", "b1\n"}},
     {},
     {},
     "tarvo,1|1\na.mak,1|a1\nb.mak,1|b1\na.mak,3|a3\ntarvo,3|3\n",
     0},
    {"IncludeLeavesBlockOpen",
     "!include open.mak\nskipped\n!else\ntaken\n!endif\n",
     {{"open.mak", "!if a == b\n"}},
     {},
     {},
     "tarvo,4|taken\n",
     0},
};

INSTANTIATE_TEST_SUITE_P(Directives, DirectiveListing, ::testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DirectiveIncludes, SelfIncludingFileEndsWithAnError) {
    Sandbox box;
    box.write("tarvo", "!include loop.mak\nafter\n");
    box.write("loop.mak", "l\n!include loop.mak\n");
    const e2e::Result result = box.run({"-p"});
    std::string records;
    for (int i = 0; i < 64; ++i) {
        records += "loop.mak,1|l\n";
    }
    EXPECT_EQ(result.output,
              std::string(kBanner) +
                  "Error (tarvo): loop.mak, line 2: Include file loop.mak nested more than 64 "
                  "levels deep\n" +
                  records);
    EXPECT_EQ(result.status, 1);
}

} // namespace
