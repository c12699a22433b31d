#include "driver/DotGraph.h"

#include "platform/Platform.h"
#include "rules/Rule.h"

namespace {

// A dot string: quotes and backslashes escaped, so that a Windows path is not
// read as label escapes such as \n.
std::string quoted(const std::string& text) {
    std::string result = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            result += '\\';
        }
        result += c;
    }
    return result + '"';
}

} // namespace

std::size_t DotGraph::nodeOf(const std::string& name) {
    const auto found = index_.find(name);
    if (found != index_.end()) {
        return found->second;
    }
    nodes_.push_back({name});
    index_.emplace(name, nodes_.size() - 1);
    return nodes_.size() - 1;
}

void DotGraph::addEdge(const std::string& from, const std::string& to, std::string label,
                       bool listed) {
    // Nodes are numbered in the order they are met: the target first.
    const std::size_t source = nodeOf(from);
    const std::size_t destination = nodeOf(to);
    Edge edge(source, destination, std::move(label), listed);
    if (seen_.insert(edge).second) {
        linked_.emplace(source, destination);
        edges_.push_back(std::move(edge));
    }
}

void DotGraph::dependsOn(const std::string& target, const std::string& dependency,
                         const InferenceRule* via) {
    addEdge(target, dependency, via != nullptr ? via->sourceExtension + via->name : std::string(),
            false);
}

void DotGraph::listedIn(const std::string& target, const std::string& name) {
    // A name that the rule itself names (the source, usually) has its edge.
    const std::size_t from = nodeOf(target);
    const std::size_t to = nodeOf(name);
    if (linked_.count({from, to}) == 0) {
        addEdge(target, name, std::string(), true);
    }
}

void DotGraph::decided(const std::string& target, bool outOfDate) {
    Node& node = nodes_[nodeOf(target)];
    node.rebuilt = node.rebuilt || outOfDate;
}

void DotGraph::write(std::FILE* out, Platform& files) const {
    std::fputs("digraph tarvo {\n    node [shape=box];\n", out);
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
        const Node& node = nodes_[i];
        const bool missing = files.fileTime(node.name) == 0;
        std::string style;
        if (node.rebuilt) {
            style = "filled";
        }
        if (missing) {
            style += style.empty() ? "dashed" : ",dashed";
        }
        std::fprintf(out, "    n%s [label=%s", std::to_string(i).c_str(),
                     quoted(node.name).c_str());
        if (!style.empty()) {
            std::fprintf(out, ", style=\"%s\"", style.c_str());
        }
        std::fputs("];\n", out);
    }
    for (const auto& [from, to, label, listed] : edges_) {
        std::fprintf(out, "    n%s -> n%s", std::to_string(from).c_str(),
                     std::to_string(to).c_str());
        if (!label.empty()) {
            std::fprintf(out, " [label=%s]", quoted(label).c_str());
        } else if (listed) {
            std::fputs(" [style=\"dashed\"]", out);
        }
        std::fputs(";\n", out);
    }
    std::fputs("}\n", out);
}
