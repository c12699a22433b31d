#pragma once

#include "rules/WalkObserver.h"

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

class Platform;

// The dependency graph of a walk, written in Graphviz dot: a node per target
// and per dependency file, filled when it would be rebuilt and dashed when its
// file is missing; edges that an inference rule makes carry its name, and
// those that a compiler's dependency file adds are dashed.
class DotGraph : public WalkObserver {
  public:
    void dependsOn(const std::string& target, const std::string& dependency,
                   const InferenceRule* via) override;
    void decided(const std::string& target, bool outOfDate) override;
    void listedIn(const std::string& target, const std::string& name) override;

    void write(std::FILE* out, Platform& files) const;

  private:
    struct Node {
        std::string name;
        bool rebuilt = false;
    };

    // From, to, label, and whether a dependency file made it.
    using Edge = std::tuple<std::size_t, std::size_t, std::string, bool>;

    std::size_t nodeOf(const std::string& name);
    void addEdge(const std::string& from, const std::string& to, std::string label, bool listed);

    std::vector<Node> nodes_;
    std::map<std::string, std::size_t> index_;
    // In the order first met; each edge once.
    std::vector<Edge> edges_;
    std::set<Edge> seen_;
    std::set<std::pair<std::size_t, std::size_t>> linked_;
};
