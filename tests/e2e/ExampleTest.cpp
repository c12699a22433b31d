#include "e2e/E2eHarness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

using e2e::kBanner;
using e2e::kBaseTime;
using e2e::Sandbox;

namespace {

std::string readExample(const std::string& name) {
    std::ifstream in(std::string(TARVO_EXAMPLES_DIR) + "/hello/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string runProgram(const std::string& commandLine) {
    std::string output;
    if (std::FILE* pipe = popen(commandLine.c_str(), "r")) {
        char buffer[256];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, got);
        }
        pclose(pipe);
    }
    return output;
}

TEST(Example, HelloBuildsRunsAndRebuildsOnlyWhatChanged) {
    Sandbox box;
    for (const char* name : {"tarvo", "main.c", "greet.c", "greet.h"}) {
        box.write(name, readExample(name));
        box.setTime(name, kBaseTime);
    }
    const e2e::Result first = box.run({});
    ASSERT_EQ(first.output, std::string(kBanner) + "cc -O2 -Wall -MMD -c main.c \n"
                                                   "cc -O2 -Wall -MMD -c greet.c \n"
                                                   "cc -o hello main.o greet.o \n");
    ASSERT_EQ(first.status, 0);
    EXPECT_EQ(runProgram("'" + box.pathOf("hello") + "'"), "Hello, world!\n");
    EXPECT_EQ(runProgram("'" + box.pathOf("hello") + "' tarvo"), "Hello, tarvo!\n");

    EXPECT_EQ(box.run({}).output, kBanner);

    // A source newer than its object: that object and the program are remade.
    for (const char* name : {"main.o", "greet.o", "hello"}) {
        box.setTime(name, kBaseTime + 60);
    }
    box.setTime("greet.c", kBaseTime + 120);
    EXPECT_EQ(box.run({}).output, std::string(kBanner) + "cc -O2 -Wall -MMD -c greet.c \n"
                                                         "cc -o hello main.o greet.o \n");

    // A header newer than the objects: those that include it are remade.
    for (const char* name : {"main.o", "greet.o", "hello"}) {
        box.setTime(name, kBaseTime + 180);
    }
    box.setTime("greet.h", kBaseTime + 240);
    EXPECT_EQ(box.run({}).output, std::string(kBanner) + "cc -O2 -Wall -MMD -c main.c \n"
                                                         "cc -O2 -Wall -MMD -c greet.c \n"
                                                         "cc -o hello main.o greet.o \n");

    EXPECT_EQ(box.run({"clean"}).output,
              std::string(kBanner) + "rm -f hello main.o greet.o main.d greet.d \n");
    EXPECT_FALSE(box.exists("hello"));
}

} // namespace
