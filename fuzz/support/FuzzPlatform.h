#pragma once

#include "platform/TempNames.h"
#include "support/FakePlatform.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

// The platform of the fuzz targets: no command runs (each is recorded; one
// that contains "fail" exits with 3), file times follow from the name alone
// (a quarter of the names do not exist), and temporary files are real files in
// the scratch directory, removed and swept for real.
class FuzzPlatform : public FakePlatform {
  public:
    static constexpr std::uint32_t kFailureCode = 3;

    std::uint32_t runProcess(const std::string& commandLine, FoundPrograms& programs) override {
        const std::uint32_t code = FakePlatform::runProcess(commandLine, programs);
        return commandLine.find("fail") != std::string::npos ? kFailureCode : code;
    }

    FileTime fileTime(const std::string& path) override {
        const FileTime known = FakePlatform::fileTime(path);
        if (known != 0 || times.count(path) != 0) {
            return known;
        }
        const std::size_t hash = std::hash<std::string>()(path);
        return hash % 4 == 0 ? 0 : static_cast<FileTime>(1000 + hash % 7);
    }

    bool removeFile(const std::string& path) override {
        std::remove(path.c_str());
        return FakePlatform::removeFile(path);
    }

    void sweepTemporaries() override {
        FakePlatform::sweepTemporaries();
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(".", error)) {
            const std::string name = entry.path().filename().string();
            if (isTemporaryName(name)) {
                std::filesystem::remove(entry.path(), error);
            }
        }
    }
};
