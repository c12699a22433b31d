#include "e2e/win32/WindowsRun.h"

#include <algorithm>
#include <sstream>

namespace {

const std::string kBanner = "TARVO version 1.0\n\n";

class Parallel : public WindowsEndToEnd {
  protected:
    void SetUp() override {
        WindowsEndToEnd::SetUp();
        makeDirectory("bin");
        installProbe("bin\\probe.exe");
    }
};

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST_F(Parallel, CommandsRunSideBySide) {
    // Each waits for the other's mark: one at a time, neither would end well.
    // Each has a dependency: a target without any is a step that the walk
    // finishes before it decides what follows.
    write("tarvo", "all: a b\n\n"
                   "a: tarvo\n\t@bin\\probe.exe --touch a.mark --await b.mark\n\n"
                   "b: tarvo\n\t@bin\\probe.exe --touch b.mark --await a.mark\n");
    const RunResult result = run("-j2");
    EXPECT_EQ(result.status, 0u) << result.output << result.errors;
    EXPECT_EQ(sortedLines(result.output),
              sortedLines(crlf(kBanner + "[bin\\probe.exe --touch a.mark --await b.mark ]\n"
                                         "[bin\\probe.exe --touch b.mark --await a.mark ]\n")));
}

TEST_F(Parallel, ChildOutputFollowsTheToolsOwn) {
    write("tarvo", "all:\n"
                   "\techo to out\n"
                   "\techo to err 1>&2\n"
                   "\t@bin\\probe.exe x\n");
    for (const char* options : {"", "-j2"}) {
        const RunResult result = run(options);
        EXPECT_EQ(result.output, crlf(kBanner + "echo to out \n"
                                                "to out \n"
                                                "echo to err 1>&2 \n"
                                                "[bin\\probe.exe x ]\n"))
            << options;
        EXPECT_EQ(result.errors, crlf("to err  \n")) << options;
        EXPECT_EQ(result.status, 0u) << options;
    }
}

TEST_F(Parallel, ErrorsInTheFileOfTheOutputStayBesideTheirCommands) {
    write("tarvo", "all:\n"
                   "\techo out 1\n"
                   "\techo err 1 1>&2\n"
                   "\techo out 2\n"
                   "\techo err 2 1>&2\n");
    for (const char* options : {"", "-j2"}) {
        const RunResult result = runErrorsIntoOutput(options);
        EXPECT_EQ(result.output, crlf(kBanner + "echo out 1 \n"
                                                "out 1 \n"
                                                "echo err 1 1>&2 \n"
                                                "err 1  \n"
                                                "echo out 2 \n"
                                                "out 2 \n"
                                                "echo err 2 1>&2 \n"
                                                "err 2  \n"))
            << options;
        EXPECT_EQ(result.status, 0u) << options;
    }
}

TEST_F(Parallel, MoreCommandsThanOneWaitTakes) {
    // The last one starts only when all others run, and lets them end.
    const int count = 70;
    std::string makefile = "all:";
    std::string rules;
    std::string expected = kBanner;
    for (int i = 1; i <= count; ++i) {
        const std::string target = "t" + std::to_string(i);
        const std::string command =
            "bin\\probe.exe " + std::string(i < count ? "--await go" : "--touch go");
        makefile += " " + target;
        rules += "\n" + target + ": tarvo\n\t@" + command + "\n";
        expected += "[" + command + " ]\n";
    }
    write("tarvo", makefile + "\n" + rules);
    const RunResult result = run("-j70");
    EXPECT_EQ(result.status, 0u) << result.errors;
    EXPECT_EQ(sortedLines(result.output), sortedLines(crlf(expected)));
}

TEST_F(Parallel, AFailureStopsNewStarts) {
    // The sweep after the first ended command removes the file, so the second
    // ends only after the failure has been seen; the third never starts.
    write("tarvo7.$$$", "");
    write("tarvo", "all: a b c\n\n"
                   "a: tarvo\n\tcmd /C exit 3\n\n"
                   "b: tarvo\n\tbin\\probe.exe --await-gone tarvo7.$$$ --exit 4\n\n"
                   "c: tarvo\n\tbin\\probe.exe c\n");
    const RunResult result = run("-j2");
    EXPECT_EQ(result.output, crlf(kBanner + "cmd /C exit 3 \n"
                                            "bin\\probe.exe --await-gone tarvo7.$$$ --exit 4 \n"
                                            "[bin\\probe.exe --await-gone tarvo7.$$$ --exit 4 ]\n"))
        << result.errors;
    EXPECT_EQ(result.status, 3u);
}

} // namespace
