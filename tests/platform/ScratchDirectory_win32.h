#pragma once

#include <windows.h>

#include <string>

// A fresh empty directory under the temporary directory that is the current
// directory while the object lives; removed with its contents afterwards.
class ScratchDirectory {
  public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string previous_;
    std::string path_;
};

void writeFile(const std::string& name, const std::string& contents);
bool fileExists(const std::string& name);
// Sets the last-write time as a count of 100-ns intervals since 1601-01-01 UTC.
void setWriteTicks(const std::string& name, unsigned long long ticks);
