#pragma once

#include "exec/Platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A platform without an operating system: file times come from a map (the
// virtual clock), started commands are recorded and answer with scripted exit
// codes, and temporary files are real ones in a directory of the test's
// choosing. A started "touch a b" stamps a and b with the next clock tick.
class FakePlatform : public Platform {
  public:
    std::uint32_t runProcess(const std::string& commandLine) override {
        started.push_back(commandLine);
        if (onRun) {
            onRun(commandLine);
        }
        touchFiles(commandLine);
        const auto code = exitCodes.find(commandLine);
        return code == exitCodes.end() ? 0 : code->second;
    }

    std::uint32_t fileTime(const std::string& path) override {
        timeQueries.push_back(path);
        const auto found = times.find(path);
        return found == times.end() ? 0 : found->second;
    }

    std::optional<std::string> findFirstMatch(const std::string& pattern) override {
        if (times.count(pattern) == 0) {
            return std::nullopt;
        }
        return pattern;
    }

    void removeFile(const std::string& path) override { times.erase(path); }

    TemporaryFile createTemporaryFile(TemporaryFile::Content content) override {
        TemporaryFile file = TemporaryFile::create(temporaryDirectory, content);
        temporariesCreated.push_back(file.name());
        return file;
    }

    void sweepTemporaries() override { ++sweeps; }

    std::map<std::string, std::uint32_t> times;
    std::uint32_t clock = 1000;
    std::map<std::string, std::uint32_t> exitCodes; // by rebuilt command line
    std::function<void(const std::string&)> onRun;  // sees each command as it starts
    std::vector<std::string> started;
    std::vector<std::string> timeQueries;
    std::string temporaryDirectory;              // where temporary files are made, "dir/" or empty
    std::vector<std::string> temporariesCreated; // their names, failures included
    int sweeps = 0;

  private:
    void touchFiles(const std::string& commandLine) {
        if (commandLine.compare(0, 6, "touch ") != 0) {
            return;
        }
        ++clock;
        std::size_t i = 6;
        while (i < commandLine.size()) {
            const std::size_t end = commandLine.find(' ', i);
            const std::size_t stop = end == std::string::npos ? commandLine.size() : end;
            if (stop > i) {
                times[commandLine.substr(i, stop - i)] = clock;
            }
            i = stop + 1;
        }
    }
};
