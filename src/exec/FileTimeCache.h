#pragma once

#include "containers/NameHash.h"
#include "exec/Platform.h"

#include <cstdint>
#include <string>
#include <unordered_map>

// A platform that remembers file times. Within a run only the commands and the
// tool itself change files, so the times stay valid until the next command,
// temporary file or removal; each of those empties the cache and starts a new
// generation, which tells the update decision what it may remember too.
class FileTimeCache : public Platform {
  public:
    explicit FileTimeCache(Platform& system) : system_(system) {}

    std::uint32_t runProcess(const std::string& commandLine) override;
    std::uint32_t fileTime(const std::string& path) override;
    std::optional<std::string> findFirstMatch(const std::string& pattern) override;
    void removeFile(const std::string& path) override;
    std::string makeTempName() override;
    void sweepTemporaries() override;

    // Changes whenever files may have changed.
    std::uint64_t generation() const { return generation_; }

  private:
    void invalidate();

    Platform& system_;
    std::unordered_map<std::string, std::uint32_t, NameHash> times_;
    std::uint64_t generation_ = 0;
};
