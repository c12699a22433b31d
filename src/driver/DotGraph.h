#pragma once

#include "rules/MakeContext.h"

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

class Platform;

// The dependency graph of a walk, written in Graphviz dot: a node per target
// and per dependency file, filled when it would be rebuilt and dashed when its
// file is missing; edges that an inference rule makes carry its name.
class DotGraph : public WalkObserver {
  public:
    void dependsOn(const std::string& target, const std::string& dependency,
                   const InferenceRule* via) override;
    void decided(const std::string& target, bool outOfDate) override;

    void write(std::FILE* out, Platform& files) const;

  private:
    struct Node {
        std::string name;
        bool rebuilt = false;
    };

    std::size_t nodeOf(const std::string& name);

    std::vector<Node> nodes_;
    std::map<std::string, std::size_t> index_;
    // From, to and label, in the order first met; each edge once.
    std::vector<std::tuple<std::size_t, std::size_t, std::string>> edges_;
    std::set<std::tuple<std::size_t, std::size_t, std::string>> seen_;
};
