#include "driver/CommandLine.h"
#include "driver/Usage.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, OptionsInEveryForm) {
    Options o = scanArguments({"-K", "/p", "-fbuild.mak", "-x", "-DX=1", "/", "all"});
    EXPECT_TRUE(o.keepTemporaries);
    EXPECT_TRUE(o.print);
    EXPECT_EQ(o.makefileName, "build.mak");
    EXPECT_EQ(o.targets, Words{"all"});
    EXPECT_TRUE(o.definitions.empty());

    o = scanArguments({"-f", "one", "/F", "two", "-kx", "-print"});
    EXPECT_EQ(o.makefileName, "two");
    EXPECT_TRUE(o.keepTemporaries);
    EXPECT_TRUE(o.print);

    o = scanArguments({"-force"});
    EXPECT_EQ(o.makefileName, "orce");

    o = scanArguments({"-f", "-k"});
    EXPECT_EQ(o.makefileName, "-k");
    EXPECT_FALSE(o.keepTemporaries);

    o = scanArguments({"x", "-f"});
    EXPECT_EQ(o.makefileName, "tarvo");
    EXPECT_EQ(o.targets, Words{"x"});
}

TEST(CommandLine, JobsAndTheJobserverStyle) {
    Options o = scanArguments({"all"});
    EXPECT_FALSE(o.jobsGiven);
    EXPECT_EQ(o.jobserverStyle, JobserverStyle::Default);
    o = scanArguments({"-j1", "--jobserver-style=pipe"});
    EXPECT_TRUE(o.jobsGiven);
    EXPECT_EQ(o.jobs, 1u);
    EXPECT_EQ(o.jobserverStyle, JobserverStyle::Pipe);
    o = scanArguments({"--jobserver-style=pipe", "--jobserver-style=fifo"});
    EXPECT_EQ(o.jobserverStyle, JobserverStyle::Fifo);
    EXPECT_EQ(scanArguments({"--jobserver-style=sem"}).jobserverStyle, JobserverStyle::Default);
    EXPECT_TRUE(o.invalid.empty());
    EXPECT_EQ(scanArguments({"--jobserver-style=tcp"}).invalid, "--jobserver-style=tcp");
}

TEST(CommandLine, HelpAndVersionRequests) {
    struct Case {
        Words arguments;
        bool help;
        bool version;
    };
    const Case cases[] = {
        {{"--help"}, true, false},
        {{"-h"}, true, false},
        {{"/H"}, true, false},
        {{"-help"}, true, false},
        {{"-?"}, true, false},
        {{"/?"}, true, false},
        {{"--version"}, false, true},
        {{"--Version"}, false, false},
        {{"--helper"}, false, false},
        {{"-version"}, false, false},
        {{"-f", "-h"}, false, false},
        {{"h", "?"}, false, false},
        {{"-k", "--version", "/?"}, true, true},
    };
    for (const Case& c : cases) {
        const Options o = scanArguments(c.arguments);
        EXPECT_EQ(o.help, c.help) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(o.version, c.version) << ::testing::PrintToString(c.arguments);
    }
}

// Each long option of the table is taken, named in the help and suggested
// for its slips; the scanner takes no option that the table lacks.
TEST(CommandLine, EveryLongOptionIsTakenAndSuggested) {
    for (const LongOption& option : longOptions()) {
        const std::string name = option.name;
        EXPECT_TRUE(scanArguments({name}).unknown.empty()) << name;
        EXPECT_NE(std::string(kUsageText).find(name), std::string::npos) << name;
        std::string swapped = name;
        std::swap(swapped[3], swapped[4]);
        for (const std::string& slip : {name.substr(0, name.size() - 1), swapped + "=x"}) {
            EXPECT_EQ(nearestLongOption(slip), name) << slip;
        }
    }
}

TEST(CommandLine, MacroDefinitions) {
    const Options o = scanArguments({"A B=c d", "X=1", "X=2", "E=", "=Y", "V== x", "P=  q r", ""});
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"A B", "c"}, {"X", "1"}, {"X", "2"}, {"E", ""}, {"Y", ""}, {"V", "="}, {"P", "q"}};
    EXPECT_EQ(o.definitions, expected);
    EXPECT_EQ(o.targets, Words{""});
}

TEST(CommandLine, EnvironmentEntries) {
    struct Case {
        std::string entry;
        bool ok;
        std::string name;
        std::string value;
    };
    const Case cases[] = {
        {"PATH=C:\\A B;C:\\C", true, "PATH", "C:\\A"},
        {"EMPTY=", true, "EMPTY", ""},
        {"X=a=b", true, "X", "a"},
        {"=C:=C:\\dir", true, "C:", "C:\\dir"},
        {"V=  spaced", true, "V", "spaced"},
        {"=", false, "", ""},
    };
    for (const Case& c : cases) {
        std::string name;
        std::string value;
        EXPECT_EQ(splitEnvironmentEntry(c.entry, name, value), c.ok) << c.entry;
        if (c.ok) {
            EXPECT_EQ(name, c.name) << c.entry;
            EXPECT_EQ(value, c.value) << c.entry;
        }
    }
}

} // namespace
