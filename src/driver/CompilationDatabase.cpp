#include "driver/CompilationDatabase.h"

#include "containers/NameCompare.h"
#include "exec/CommandRun.h"
#include "text/JsonText.h"

#include <algorithm>

namespace {

// Whether the name stands in the command as a word of its own: nothing but
// blanks, quotes or an option's "=" around it.
bool namesFile(const std::string& command, const std::string& name) {
    const auto bounds = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    for (std::size_t at = command.find(name); at != std::string::npos;
         at = command.find(name, at + 1)) {
        const std::size_t end = at + name.size();
        const bool before = at == 0 || bounds(command[at - 1]) || command[at - 1] == '=';
        const bool after = end == command.size() || bounds(command[end]);
        if (before && after) {
            return true;
        }
    }
    return false;
}

void appendMember(std::string& out, const char* name, const std::string& value, bool last) {
    out += "    \"";
    out += name;
    out += "\": ";
    appendJsonString(out, value);
    out += last ? "\n" : ",\n";
}

} // namespace

bool CompilationDatabase::isSource(const std::string& name) {
    static const char* const kExtensions[] = {".c", ".cc", ".cpp", ".cxx", ".c++", ".cp"};
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find_first_of("/\\", dot) != std::string::npos) {
        return false;
    }
    const std::string extension = name.substr(dot);
    return std::any_of(std::begin(kExtensions), std::end(kExtensions),
                       [&](const char* known) { return sameName(extension, known); });
}

void CompilationDatabase::dependsOn(const std::string& target, const std::string& dependency,
                                    const InferenceRule*) {
    if (!isSource(dependency)) {
        return;
    }
    std::vector<std::string>& sources = sources_[target];
    if (std::find(sources.begin(), sources.end(), dependency) == sources.end()) {
        sources.push_back(dependency);
    }
}

std::string CompilationDatabase::text(const std::vector<Job>& jobs,
                                      const std::string& directory) const {
    std::string out = "[";
    bool first = true;
    for (const Job& job : jobs) {
        const auto found = sources_.find(job.target);
        if (found == sources_.end()) {
            continue;
        }
        for (const JobCommand& command : job.commands) {
            std::string text = rebuildCommand(command.line).text;
            while (!text.empty() && text.back() == ' ') {
                text.pop_back();
            }
            for (const std::string& source : found->second) {
                if (!namesFile(text, source)) {
                    continue;
                }
                out += first ? "\n  {\n" : ",\n  {\n";
                first = false;
                appendMember(out, "directory", directory, false);
                appendMember(out, "file", source, false);
                appendMember(out, "command", text, false);
                appendMember(out, "output", job.target, true);
                out += "  }";
            }
        }
    }
    out += "\n]\n";
    return out;
}
