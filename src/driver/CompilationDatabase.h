#pragma once

#include "exec/Job.h"
#include "rules/WalkObserver.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// compile_commands.json for the editors' tools: from a walk that takes every
// target for out of date, one entry for each command that names a C or C++
// source among its rule's dependencies, or its inference source.
class CompilationDatabase : public WalkObserver {
  public:
    void dependsOn(const std::string& target, const std::string& dependency,
                   const InferenceRule* via) override;
    void decided(const std::string&, bool) override {}
    void listedIn(const std::string&, const std::string&) override {}

    // The entries of the jobs, with the directory the commands run in.
    std::string text(const std::vector<Job>& jobs, const std::string& directory) const;

    static bool isSource(const std::string& name);

  private:
    // The C and C++ sources each target depends on, in the order met.
    std::map<std::string, std::vector<std::string>> sources_;
};
