#pragma once

#include "containers/ContentHash.h"
#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// A platform without an operating system: file times come from a map (the
// virtual clock), started commands are recorded and answer with scripted exit
// codes, and temporary files are real ones in a directory of the test's
// choosing. A started "touch a b" stamps a and b with the next clock tick.
// Processes started side by side run on a virtual timeline: each lasts its
// scripted duration (one tick by default), and waiting returns the one that
// ends first, in the order of their starts when several end together.
class FakePlatform : public Platform {
  public:
    std::uint32_t runProcess(const std::string& commandLine, FoundPrograms&) override {
        started.push_back(commandLine);
        if (onRun) {
            onRun(commandLine);
        }
        touchFiles(commandLine);
        const auto code = exitCodes.find(commandLine);
        return code == exitCodes.end() ? 0 : code->second;
    }

    std::uint64_t startProcess(const std::string& commandLine, FoundPrograms&) override {
        started.push_back(commandLine);
        if (onRun) {
            onRun(commandLine);
        }
        const auto duration = durations.find(commandLine);
        running.push_back(
            {nextProcess, commandLine, now + (duration == durations.end() ? 1 : duration->second)});
        events.push_back("start " + commandLine);
        if (running.size() > mostAtOnce) {
            mostAtOnce = running.size();
        }
        return nextProcess++;
    }

    EndedProcess waitForProcess() override {
        auto first = running.begin();
        for (auto it = running.begin(); it != running.end(); ++it) {
            if (it->end < first->end) {
                first = it;
            }
        }
        const Process process = *first;
        running.erase(first);
        now = process.end;
        touchFiles(process.command);
        events.push_back("end " + process.command);
        const auto code = exitCodes.find(process.command);
        const auto output = outputs.find(process.command);
        return {process.id, code == exitCodes.end() ? 0 : code->second,
                output == outputs.end() ? std::string() : output->second, std::string()};
    }

    FileTime fileTime(const std::string& path) override {
        timeQueries.push_back(path);
        const auto found = times.find(path);
        return found == times.end() ? 0 : found->second;
    }

    // A file's version follows its time, the size of its content and its
    // identity (the inode of a real platform).
    FileStamp fileStamp(const std::string& path) override {
        const auto found = times.find(path);
        if (found == times.end()) {
            return FileStamp();
        }
        const auto content = contents.find(path);
        const auto identity = identities.find(path);
        return {found->second,
                fileVersion(content == contents.end() ? 0 : content->second.size(), found->second,
                            0, identity == identities.end() ? 0 : identity->second, 0)};
    }

    // Read at the time of the clock.
    std::optional<FileDigest> fileDigest(const std::string& path) override {
        digestReads.push_back(path);
        if (times.count(path) == 0) {
            return std::nullopt;
        }
        const auto content = contents.find(path);
        return FileDigest{fileStamp(path),
                          ContentHash::of(content == contents.end() ? "" : content->second), clock};
    }

    EntryKind entryKind(const std::string& path) override {
        const auto kind = kinds.find(path);
        if (kind != kinds.end()) {
            return kind->second;
        }
        return times.count(path) != 0 ? EntryKind::File : EntryKind::None;
    }

    bool removeFile(const std::string& path) override {
        if (unremovable.count(path) != 0) {
            return false;
        }
        times.erase(path);
        return true;
    }

    bool setFileTime(const std::string& path, FileTime time) override {
        const auto found = times.find(path);
        if (found == times.end()) {
            return false;
        }
        found->second = time;
        return true;
    }

    TemporaryFile createTemporaryFile(TemporaryFile::Content content) override {
        TemporaryFile file = TemporaryFile::create(temporaryDirectory, content);
        temporariesCreated.push_back(file.name());
        return file;
    }

    TemporaryFile createPrivateTemporaryFile(TemporaryFile::Content content) override {
        return createTemporaryFile(content);
    }

    std::string freeTemporaryName() override { return TemporaryFile::freeName(temporaryDirectory); }

    void sweepTemporaries() override { ++sweeps; }

    std::map<std::string, FileTime> times;
    std::map<std::string, std::string> contents;     // of the files in `times`; none: empty
    std::map<std::string, std::uint64_t> identities; // of the files in `times`; none: 0
    std::vector<std::string> digestReads;            // the files fileDigest was asked to read
    FileTime clock = 1000;
    std::map<std::string, std::uint32_t> exitCodes; // by rebuilt command line
    std::function<void(const std::string&)> onRun;  // sees each command as it starts
    std::vector<std::string> started;
    std::vector<std::string> timeQueries;
    std::map<std::string, EntryKind> kinds;      // where not a file: by path
    std::set<std::string> unremovable;           // files that removeFile cannot remove
    std::string temporaryDirectory;              // where temporary files are made, "dir/" or empty
    std::vector<std::string> temporariesCreated; // their names, failures included
    int sweeps = 0;

    // Processes that run side by side.
    struct Process {
        std::uint64_t id;
        std::string command;
        std::uint64_t end;
    };
    std::map<std::string, std::uint64_t> durations; // by rebuilt command line
    std::map<std::string, std::string> outputs;     // standard output, by command line
    std::vector<Process> running;
    std::vector<std::string> events; // "start X" and "end X" in the order they happen
    std::size_t mostAtOnce = 0;
    std::uint64_t now = 0;
    std::uint64_t nextProcess = 1;

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
