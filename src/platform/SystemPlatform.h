#pragma once

#include "platform/Platform.h"

#include <memory>

class ChildProcesses;

// The operating system's processes and files (one implementation per platform).
class SystemPlatform : public Platform {
  public:
    SystemPlatform();
    ~SystemPlatform() override;

    std::uint32_t runProcess(const std::string& commandLine) override;
    std::uint64_t startProcess(const std::string& commandLine) override;
    EndedProcess waitForProcess() override;
    FileTime fileTime(const std::string& path) override;
    void removeFile(const std::string& path) override;
    bool setFileTime(const std::string& path, FileTime time) override;
    TemporaryFile createTemporaryFile(TemporaryFile::Content content) override;
    std::string freeTemporaryName() override;
    void sweepTemporaries() override;

  private:
    std::unique_ptr<ChildProcesses> children_;
};
