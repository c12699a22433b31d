#include "e2e/E2eHarness.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using e2e::kBanner;
using e2e::kBaseTime;
using e2e::Sandbox;

namespace {

using Names = std::vector<std::string>;

// A C project whose objects list their headers through the compiler.
const char kProject[] = "TARVO_DEPFILE = $*.d\n\n"
                        "app: a.o b.o\n\tcc -o $< $@\n\n"
                        ".c.o:\n\tcc -MMD -c $*.c -o $*.o\n";

void writeProject(const Sandbox& box) {
    box.write("tarvo", kProject);
    box.write("a.h", "#define A 1\n");
    box.write("b.h", "#define B 2\n");
    box.write("a.c", "#include \"a.h\"\nint a(void) { return A; }\n");
    box.write("b.c", "#include \"b.h\"\nint a(void);\nint main(void) { return a() + B - 3; }\n");
    for (const char* name : {"a.h", "b.h", "a.c", "b.c"}) {
        box.setTime(name, kBaseTime);
    }
}

TEST(DependencyFiles, AnEditedHeaderRebuildsExactlyTheObjectsThatIncludeIt) {
    Sandbox box;
    writeProject(box);
    ASSERT_EQ(box.run({}).status, 0);
    box.setTime("a.h", std::time(nullptr) + 60);
    const e2e::Result rebuilt = box.run({});
    EXPECT_EQ(rebuilt.output,
              std::string(kBanner) + "cc -MMD -c a.c -o a.o \ncc -o app a.o b.o \n");
    EXPECT_EQ(rebuilt.status, 0);
    // The new object is newer than the edited header: nothing more to do.
    box.setTime("a.o", std::time(nullptr) + 120);
    box.setTime("b.o", std::time(nullptr) + 120);
    box.setTime("app", std::time(nullptr) + 180);
    EXPECT_EQ(box.run({}).output, kBanner);
}

TEST(DependencyFiles, AHeaderDeletedWithItsIncludeBreaksNothing) {
    Sandbox box;
    writeProject(box);
    ASSERT_EQ(box.run({}).status, 0);
    std::remove(box.pathOf("b.h").c_str());
    box.write("b.c", "int a(void);\nint main(void) { return a() - 1; }\n");
    box.setTime("b.c", std::time(nullptr) + 60);
    const e2e::Result result = box.run({});
    EXPECT_EQ(result.output, std::string(kBanner) + "cc -MMD -c b.c -o b.o \ncc -o app a.o b.o \n");
    EXPECT_EQ(result.status, 0);
}

struct ListedCase {
    const char* name;
    std::string dependencyFile; // x.d
    std::string output;         // after the banner
    std::string errors;
};

TEST(DependencyFiles, FormsOfTheFile) {
    const ListedCase cases[] = {
        {"EscapedBlanksOnSeveralLines", "x.o: x.c \\\n  my\\ header.h \\\n  other.h\n",
         "touch x.o \n", ""},
        {"OlderNamesOnly", "x.o: x.c other.h\n", "", "tarvo: x.o is up to date\n"},
        // A header gone since the last compile: the compiler says so now, not
        // after a clean build.
        {"ListedNameGone", "x.o: x.c gone.h other.h\n", "touch x.o \n", ""},
        {"Malformed", "this is no rule\n", "",
         "tarvo: warning: x.d: line 1: not a rule: no ':' after the targets\n"
         "tarvo: x.o is up to date\n"},
        {"Json",
         "{\n  \"Version\": \"1.1\",\n  \"Data\": {\n    \"Source\": \"x.c\",\n"
         "    \"Includes\": [\"other.h\", \"my header.h\"]\n  }\n}\n",
         "touch x.o \n", ""},
    };
    for (const ListedCase& c : cases) {
        Sandbox box;
        box.write("tarvo", "TARVO_DEPFILE = $*.d\n\n.c.o:\n\ttouch $*.o\n");
        for (const char* name : {"x.c", "other.h", "my header.h", "x.o", "x.d"}) {
            box.write(name, std::string(name) == "x.d" ? c.dependencyFile : "");
        }
        box.setTime("x.c", kBaseTime);
        box.setTime("other.h", kBaseTime);
        box.setTime("my header.h", kBaseTime + 120);
        box.setTime("x.o", kBaseTime + 60);
        const e2e::Result result = box.runKeepingErrors({"x.o"});
        EXPECT_EQ(result.output, kBanner + c.output) << c.name;
        EXPECT_EQ(result.errors, c.errors) << c.name;
        EXPECT_EQ(result.status, 0) << c.name;
    }
}

// A malformed dependency file is a warning like any other: --strict fails the
// run on it, and the look ahead of the progress line does not say it again.
TEST(DependencyFiles, AMalformedFileIsOneWarning) {
    Sandbox box;
    box.write("tarvo", "TARVO_DEPFILE = $*.d\n\n.c.o:\n\ttouch $*.o\n");
    box.write("x.c", "");
    box.write("x.o", "");
    box.write("x.d", "this is no rule\n");
    box.setTime("x.c", kBaseTime);
    box.setTime("x.o", kBaseTime + 60);
    const std::string warning =
        "tarvo: warning: x.d: line 1: not a rule: no ':' after the targets\n";

    const e2e::Result strict = box.runKeepingErrors({"--strict", "x.o"});
    EXPECT_EQ(strict.output, kBanner);
    EXPECT_EQ(strict.errors, warning + "tarvo: x.o is up to date\n"
                                       "tarvo: 1 warning, and --strict makes them fail the run\n");
    EXPECT_EQ(strict.status, 1);

    const e2e::Result drawn = box.runKeepingErrors({"--progress=yes", "x.o"});
    EXPECT_EQ(drawn.status, 0);
    std::size_t said = 0;
    for (std::size_t at = drawn.errors.find(warning); at != std::string::npos;
         at = drawn.errors.find(warning, at + 1)) {
        ++said;
    }
    EXPECT_EQ(said, 1u) << drawn.errors;
}

TEST(DependencyFiles, WhatIsNoFileOrTooLargeIsPassedOver) {
    const struct {
        const char* name;
        std::function<void(const Sandbox&)> make; // x.d
        std::string errors;
    } cases[] = {
        // Reading would wait for a writer that never comes.
        {"Fifo", [](const Sandbox& box) { ASSERT_EQ(mkfifo(box.pathOf("x.d").c_str(), 0644), 0); },
         "tarvo: warning: x.d: cannot be read: not a regular file\n"},
        // Reading would never end, and take all memory.
        {"EndlessDevice",
         [](const Sandbox& box) { ASSERT_EQ(symlink("/dev/zero", box.pathOf("x.d").c_str()), 0); },
         "tarvo: warning: x.d: cannot be read: not a regular file\n"},
        {"LargerThanAnyListOfHeaders",
         [](const Sandbox& box) {
             box.write("x.d", "x.o: x.c other.h\n");
             std::filesystem::resize_file(box.pathOf("x.d"), (std::uintmax_t{64} << 20) + 1);
         },
         "tarvo: warning: x.d: larger than 64 MB: not read\n"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("tarvo", "TARVO_DEPFILE = $*.d\n\n.c.o:\n\ttouch $*.o\n");
        box.write("x.c", "");
        box.write("x.o", "");
        c.make(box);
        box.setTime("x.c", kBaseTime);
        box.setTime("x.o", kBaseTime + 60);
        e2e::RunOptions options;
        options.keepErrors = true;
        options.memoryLimit = 256L << 20;
        const e2e::Result result = box.run({"x.o"}, Sandbox::defaultEnvironment(), options);
        EXPECT_EQ(result.output, kBanner) << c.name;
        EXPECT_EQ(result.errors, c.errors + "tarvo: x.o is up to date\n") << c.name;
        EXPECT_EQ(result.status, 0) << c.name;
    }
}

// A header that the build writes itself, listed in the object's dependency
// file but not in the makefile: jobs side by side wait for it before the
// object is decided, as the one-job run has made it by then.
TEST(DependencyFiles, AGeneratedHeaderIsMadeBeforeTheObjectIsDecided) {
    for (const Names& options : {Names{}, Names{"-j2"}}) {
        Sandbox box;
        box.write("tarvo", "TARVO_DEPFILE = $*.d\n\n"
                           "run: app\n\t@./app\n\n"
                           "app: gen.h main.o\n\tcc -o app main.o\n\n"
                           "gen.h: gen.in\n\tsh -c \"sleep 0.2; cp gen.in gen.h\"\n\n"
                           ".c.o:\n\tcc -MMD -c $*.c -o $*.o\n");
        box.write("gen.in", "#define VALUE 1\n");
        box.write("main.c", "#include <stdio.h>\n#include \"gen.h\"\n"
                            "int main(void) { printf(\"%d\\n\", VALUE); return 0; }\n");
        ASSERT_EQ(box.run({}).status, 0);
        for (const char* name : {"gen.in", "gen.h", "main.c", "main.d"}) {
            box.setTime(name, kBaseTime);
        }
        box.setTime("main.o", kBaseTime + 10);
        box.setTime("app", kBaseTime + 20);
        box.write("gen.in", "#define VALUE 2\n");
        box.setTime("gen.in", kBaseTime + 100);
        const e2e::Result result = box.run(options);
        EXPECT_EQ(result.output, std::string(kBanner) +
                                     "sh -c \"sleep 0.2; cp gen.in gen.h\" \n"
                                     "cc -MMD -c main.c -o main.o \ncc -o app main.o \n2\n")
            << options.size();
        EXPECT_EQ(result.status, 0);
    }
}

// A header that a rule makes, listed in an object's dependency file, on which
// nothing in the makefile makes the object depend: the object may be decided,
// or compiled beside it, before the header is made. Said once, counted by
// --strict; a dependency in the makefile silences it.
TEST(DependencyFiles, AGeneratedHeaderThatNoRuleDependsOnIsSaid) {
    const std::string kWarning =
        "tarvo: main.o reads gen.h, which this makefile makes, but nothing makes main.o depend on "
        "it: add it to the dependencies, or the build may read an old gen.h\n";
    const std::string rules = "all: app gen.h\n\napp: main.o\n\ttouch app\n\n"
                              "gen.h: gen.in\n\ttouch gen.h\n\n";
    struct Case {
        const char* name;
        std::string objectRule;
        Names arguments;
        std::string output; // after the banner
        std::string errors;
        int status;
    };
    const Case cases[] = {
        {"AfterTheObject", ".c.o:\n\ttouch $*.o\n", {"all"}, "touch gen.h \n", kWarning, 0},
        {"SideBySide", ".c.o:\n\ttouch $*.o\n", {"-j2", "all"}, "touch gen.h \n", kWarning, 0},
        {"NotMadeAtAll",
         ".c.o:\n\ttouch $*.o\n",
         {"app"},
         "",
         kWarning + "tarvo: app is up to date\n",
         0},
        {"Strict",
         ".c.o:\n\ttouch $*.o\n",
         {"--strict", "all"},
         "touch gen.h \n",
         kWarning + "tarvo: 1 warning, and --strict makes them fail the run\n",
         1},
        {"Declared",
         "main.o: main.c gen.h\n\ttouch main.o\n",
         {"all"},
         "touch gen.h \ntouch main.o \ntouch app \n",
         "",
         0},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("tarvo", "TARVO_DEPFILE = $*.d\n\n" + rules + c.objectRule);
        box.write("main.d", "main.o: main.c gen.h\n");
        for (const char* name : {"main.c", "gen.h", "main.d", "main.o", "app", "gen.in"}) {
            if (!box.exists(name)) {
                box.write(name, "");
            }
        }
        box.setTime("main.c", kBaseTime);
        box.setTime("gen.h", kBaseTime);
        box.setTime("main.o", kBaseTime + 10);
        box.setTime("app", kBaseTime + 20);
        box.setTime("gen.in", kBaseTime + 30);
        const e2e::Result result = box.runKeepingErrors(c.arguments);
        EXPECT_EQ(result.output, kBanner + c.output) << c.name;
        EXPECT_EQ(result.errors, c.errors) << c.name;
        EXPECT_EQ(result.status, c.status) << c.name;
    }
}

TEST(DependencyFiles, ExplainedAndDrawn) {
    Sandbox box;
    box.write("tarvo", "TARVO_DEPFILE = $*.d\n\n.c.o:\n\ttouch $*.o\n");
    box.write("x.c", "");
    box.write("x.h", "");
    box.write("x.o", "");
    box.write("x.d", "x.o: x.c x.h\n");
    box.setTime("x.c", kBaseTime);
    box.setTime("x.o", kBaseTime + 60);
    box.setTime("x.h", kBaseTime + 120);
    const e2e::Result graph = box.run({"--graph", "x.o"});
    EXPECT_EQ(graph.output, "digraph tarvo {\n    node [shape=box];\n"
                            "    n0 [label=\"x.o\", style=\"filled\"];\n"
                            "    n1 [label=\"x.c\"];\n    n2 [label=\"x.h\"];\n"
                            "    n0 -> n1 [label=\".c.o\"];\n"
                            "    n0 -> n2 [style=\"dashed\"];\n}\n");
    EXPECT_EQ(box.runKeepingErrors({"--explain", "--dry-run", "x.o"}).errors,
              "tarvo: x.o: dependency x.h (2024-01-01 00:02:00.000000000) is newer "
              "than the target (2024-01-01 00:01:00.000000000), as x.d lists it\n");
}

} // namespace
