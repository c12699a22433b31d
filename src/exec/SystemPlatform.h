#pragma once

#include "exec/Platform.h"

// The operating system's processes and files (one implementation per platform).
class SystemPlatform : public Platform {
  public:
    std::uint32_t runProcess(const std::string& commandLine) override;
    std::uint32_t fileTime(const std::string& path) override;
    std::optional<std::string> findFirstMatch(const std::string& pattern) override;
    void removeFile(const std::string& path) override;
    TemporaryFile createTemporaryFile(TemporaryFile::Content content) override;
    void sweepTemporaries() override;
};
