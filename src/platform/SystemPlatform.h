#pragma once

#include "platform/Platform.h"

#include <memory>

// The operating system's processes and files (one implementation per platform).
class SystemPlatform : public Platform {
  public:
    SystemPlatform();
    ~SystemPlatform() override;

    std::uint32_t runProcess(const std::string& commandLine, FoundPrograms& programs) override;
    std::uint64_t startProcess(const std::string& commandLine, FoundPrograms& programs) override;
    EndedProcess waitForProcess() override;
    std::optional<EndedProcess> waitForProcessOr(std::intptr_t wake, int milliseconds) override;
    FileTime fileTime(const std::string& path) override;
    FileStamp fileStamp(const std::string& path) override;
    std::optional<FileDigest> fileDigest(const std::string& path) override;
    EntryKind entryKind(const std::string& path) override;
    bool removeFile(const std::string& path) override;
    bool setFileTime(const std::string& path, FileTime time) override;
    TemporaryFile createTemporaryFile(TemporaryFile::Content content) override;
    TemporaryFile createPrivateTemporaryFile(TemporaryFile::Content content) override;
    std::string freeTemporaryName() override;
    void sweepTemporaries() override;
    void reportThrough(Diagnostics* diagnostics) override;

  private:
    // What each platform object keeps for itself: its children, and on POSIX
    // its sweeper's watch of the directory.
    struct Parts;
    std::unique_ptr<Parts> parts_;
};
