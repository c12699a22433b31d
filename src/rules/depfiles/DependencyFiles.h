#pragma once

#include "platform/FileTime.h"

#include <string>
#include <unordered_map>
#include <vector>

class Diagnostics;
class Platform;

// The dependency files that compilers write for the targets (TARVO_DEPFILE):
// each is read once for each version of it, and one that cannot be read is
// warned about once.
class DependencyFiles {
  public:
    // `nameTemplate` is the macro's value, special macros still in it.
    explicit DependencyFiles(std::string nameTemplate) : template_(std::move(nameTemplate)) {}

    const std::string& nameTemplate() const { return template_; }
    // The names that the file at `path` lists: none when it is missing, and
    // none, with a warning, when it is malformed. A name that this run's file
    // names cannot spell is passed over with a warning.
    const std::vector<std::string>& namesIn(const std::string& path, Platform& files,
                                            Diagnostics& diagnostics);

  private:
    struct Known {
        FileTime time = 0;
        std::vector<std::string> names;
    };

    std::string template_;
    std::unordered_map<std::string, Known> known_;
};
