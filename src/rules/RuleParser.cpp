#include "rules/RuleParser.h"

#include "containers/NameCompare.h"
#include "driver/RunState.h"
#include "exec/InlineFiles.h"
#include "preprocess/LineReader.h"
#include "preprocess/MacroTable.h"
#include "rules/Rule.h"
#include "rules/RuleTable.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Calls `use` with each blank-separated word of text[begin, end), in order.
template <typename Use>
void forEachWord(const std::string& text, std::size_t begin, std::size_t end, Use use) {
    std::size_t i = begin;
    while (i < end) {
        while (i < end && isBlank(text[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < end && !isBlank(text[i])) {
            ++i;
        }
        if (i > start) {
            use(std::string_view(text).substr(start, i - start));
        }
    }
}

} // namespace

bool RuleParser::isInferenceRuleLine(const std::string& line) {
    return !line.empty() && line[0] == '.';
}

bool RuleParser::isExplicitRuleLine(const std::string& line) {
    return !line.empty() && line[0] != '.' && line.find(':') != std::string::npos;
}

void RuleParser::parseRules(std::FILE* file, std::vector<std::string> namesWithComma) {
    LineReader reader(file, std::move(namesWithComma));
    RunState& state = runState();
    while (const std::string* line = reader.readLogicalLine(false)) {
        if (isInferenceRuleLine(*line)) {
            parseInferenceRule(*line, reader);
        } else if (isExplicitRuleLine(*line)) {
            parseExplicitRule(*line, reader);
        } else if (!line->empty()) {
            std::printf("Error (tarvo):  Syntax error in %s, line %s",
                        state.position.fileName.c_str(), state.position.lineText.c_str());
            state.buildStatus = 1;
            return;
        }
    }
}

void RuleParser::parseInferenceRule(const std::string& line, LineReader& reader) {
    const std::size_t secondDot = line.find('.', 1);
    if (secondDot == std::string::npos || secondDot == 1) {
        return;
    }
    std::size_t begin = secondDot + 1;
    while (begin < line.size() && isDelimiter(line[begin])) {
        ++begin;
    }
    std::size_t end = begin;
    while (end < line.size() && !isDelimiter(line[end])) {
        ++end;
    }
    if (end == begin) {
        return;
    }
    Rule* rule =
        new InferenceRule(line.substr(0, secondDot), "." + line.substr(begin, end - begin));
    readCommandBlock(reader, rule);
    rules_.insert(rule);
}

void RuleParser::parseExplicitRule(const std::string& line, LineReader& reader) {
    RunState& state = runState();
    const std::size_t colon = line.find(':');

    // Every target of the line gets the same dependencies and command lines:
    // the rules share one list of each, filled through the first rule.
    std::vector<Rule*> made;
    TargetRule* first = nullptr;
    forEachWord(line, 0, colon, [&made, &first](std::string_view target) {
        TargetRule* rule = first == nullptr ? new TargetRule(std::string(target))
                                            : new TargetRule(std::string(target), *first);
        if (first == nullptr) {
            first = rule;
        }
        made.push_back(rule);
    });

    if (state.defaultTargetPending && state.requestedTargets.empty()) {
        if (first != nullptr) {
            state.requestedTargets.push_back(first->name);
        }
        state.defaultTargetPending = false;
    }

    // The dependencies go straight from the line into the list: a line may
    // name thousands.
    if (first != nullptr) {
        forEachWord(line, colon + 1, line.size(), [first](std::string_view dependency) {
            first->addDependency(std::string(dependency));
        });
    }
    readCommandBlock(reader, first);
    // The targets of one line enter the table in ascending order of name, equal
    // names in the order of the line.
    std::stable_sort(made.begin(), made.end(), [](const Rule* a, const Rule* b) {
        return compareNames(a->name, b->name) < 0;
    });
    for (Rule* rule : made) {
        rules_.insert(rule);
    }
}

void RuleParser::readCommandBlock(LineReader& reader, Rule* rule) {
    bool inlineOpen = false;
    std::string terminator;
    while (const std::string* read = reader.readLogicalLine(false)) {
        std::size_t start = 0;
        while (start < read->size() && isBlank((*read)[start])) {
            ++start;
        }
        const std::string line = read->substr(start);
        if (!inlineOpen) {
            const std::size_t open = line.find("<<");
            if (open != std::string::npos) {
                inlineOpen = true;
                terminator = inlineTerminator(line, open);
            }
        } else if (line.find(terminator) != std::string::npos) {
            inlineOpen = false;
        }
        if (!inlineOpen && line.empty()) {
            return;
        }
        if (rule != nullptr) {
            rule->addCommand(line);
        }
    }
}
