#pragma once

#include "containers/NameTable.h"
#include "platform/Platform.h"

#include <cstdint>
#include <string>

// A platform that remembers file times and stamps. Within a run only the
// commands and the tool itself change files, so the times stay valid until the
// next command, temporary file or removal; each of those empties the cache and
// starts a new generation, which tells the update decision what it may
// remember too. A stamp gives the time with it: where both are wanted, asking
// for the stamp first queries the file system once.
class FileTimeCache : public Platform {
  public:
    explicit FileTimeCache(Platform& system) : system_(system) {}

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

    // Takes a stamp wherever a time is asked for, for a run that wants the
    // stamps of most files it looks at: one query of each instead of two.
    void takeStamps() { stampsAlways_ = true; }

    // Changes whenever files may have changed.
    std::uint64_t generation() const { return generation_; }

  private:
    void invalidate() { ++generation_; }
    FileStamp stampOf(const std::string& path);

    // A time is valid only in the generation it was read in; older ones are
    // read again in place, so emptying the cache costs nothing.
    struct Known {
        std::uint64_t generation = 0;
        FileTime time = 0;
        std::uint64_t version = 0; // of the stamp, when one was taken in the generation
    };

    Platform& system_;
    NameTable<Known> times_;
    std::uint64_t generation_ = 1;
    bool stampsAlways_ = false;
};
