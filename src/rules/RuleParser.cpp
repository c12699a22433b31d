#include "rules/RuleParser.h"

#include "containers/NameCompare.h"
#include "preprocess/IntermediateFile.h"
#include "rules/Rule.h"
#include "rules/RuleTable.h"
#include "text/Blanks.h"
#include "text/Delimiters.h"
#include "text/Diagnostics.h"
#include "text/ErrorReport.h"
#include "text/InlineBlock.h"
#include "text/Words.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

bool RuleParser::isInferenceRuleLine(const std::string& line) {
    return !line.empty() && line[0] == '.';
}

bool RuleParser::isExplicitRuleLine(const std::string& line) {
    return !line.empty() && line[0] != '.' && line.find(':') != std::string::npos;
}

int RuleParser::parseRules(const IntermediateFile& file) {
    IntermediateFile::Records records(file);
    while (const std::string* line = records.next()) {
        if (isInferenceRuleLine(*line)) {
            parseInferenceRule(*line, records);
        } else if (isExplicitRuleLine(*line)) {
            parseExplicitRule(*line, records);
        } else if (!line->empty()) {
            habits_.checkRuleLine(*line, records.fileName(), records.lineText());
            return diagnostics_.error(message::kSyntaxError, records.fileName().c_str(),
                                      records.lineText().c_str());
        }
    }
    return 0;
}

void RuleParser::parseInferenceRule(const std::string& line, IntermediateFile::Records& records) {
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
    readCommandBlock(records, rule, true);
    rules_.insert(rule);
}

namespace {

// The colon that ends the targets of a rule line. A colon that follows a
// single letter at the start of a target word and comes before "\" or "/" is
// a drive's (C:\out\app.exe: main.obj); a line with no other colon splits at
// its first, as it always has.
std::size_t targetsEnd(const std::string& line) {
    for (std::size_t colon = line.find(':'); colon != std::string::npos;
         colon = line.find(':', colon + 1)) {
        const char letter = colon > 0 ? static_cast<char>(line[colon - 1] | 0x20) : '\0';
        const bool drive = letter >= 'a' && letter <= 'z' &&
                           (colon == 1 || isBlank(line[colon - 2])) && colon + 1 < line.size() &&
                           (line[colon + 1] == '\\' || line[colon + 1] == '/');
        if (!drive) {
            return colon;
        }
    }
    return line.find(':');
}

} // namespace

void RuleParser::parseExplicitRule(const std::string& line, IntermediateFile::Records& records) {
    habits_.checkRuleLine(line, records.fileName(), records.lineText());
    const std::size_t colon = targetsEnd(line);

    // Every target of the line gets the same dependencies and command lines:
    // the rules share one list of each, filled through the first rule.
    std::vector<Rule*> made;
    TargetRule* first = nullptr;
    forEachWord(std::string_view(line).substr(0, colon), [&made, &first](std::string_view target) {
        TargetRule* rule = first == nullptr ? new TargetRule(std::string(target))
                                            : new TargetRule(std::string(target), *first);
        if (first == nullptr) {
            first = rule;
        }
        made.push_back(rule);
    });

    if (defaultTargetPending_) {
        if (first != nullptr) {
            defaultTarget_ = first->name;
        }
        defaultTargetPending_ = false;
    }

    // The dependencies go straight from the line into the list: a line may
    // name thousands.
    if (first != nullptr) {
        forEachWord(std::string_view(line).substr(colon + 1), [first](std::string_view dependency) {
            first->addDependency(std::string(dependency));
        });
    }
    readCommandBlock(records, first, false);
    // The targets of one line enter the table in ascending order of name, equal
    // names in the order of the line.
    std::stable_sort(made.begin(), made.end(), [](const Rule* a, const Rule* b) {
        return compareNames(a->name, b->name) < 0;
    });
    for (Rule* rule : made) {
        rules_.insert(rule);
    }
}

namespace {

// Whether a line written in the first column reads as a rule line: a word
// ending in ":" that a blank or the line's end follows. "copy c:\x y" and
// "echo a:b" do not.
bool looksLikeRuleLine(std::string_view line) {
    if (line.empty() || isBlank(line[0]) || line[0] == '-' || line[0] == '@') {
        return false;
    }
    for (std::size_t colon = line.find(':'); colon != std::string_view::npos;
         colon = line.find(':', colon + 1)) {
        if (colon > 0 && !isBlank(line[colon - 1]) &&
            (colon + 1 == line.size() || isBlank(line[colon + 1]))) {
            return line.find('=') == std::string_view::npos || line.find('=') > colon;
        }
    }
    return false;
}

} // namespace

void RuleParser::checkCommand(const std::string_view line, const std::string& read,
                              const Rule& rule, bool inference,
                              const IntermediateFile::Records& records) {
    if (!read.empty() && !isBlank(read[0]) && looksLikeRuleLine(line)) {
        diagnostics_.warn("%s, line %s: \"%s\" is taken as a command of the rule above; a rule's "
                          "commands end at an empty line",
                          records.fileName().c_str(), records.lineText().c_str(),
                          std::string(line).c_str());
    }
    habits_.checkCommand(line, !read.empty() && !isBlank(read[0]), inference ? &rule.name : nullptr,
                         records.fileName(), records.lineText());
}

void RuleParser::readCommandBlock(IntermediateFile::Records& records, Rule* rule, bool inference) {
    InlineBlock block;
    while (const std::string* read = records.next()) {
        std::size_t start = 0;
        while (start < read->size() && isBlank((*read)[start])) {
            ++start;
        }
        const std::string_view line = std::string_view(*read).substr(start);
        const InlineBlock::Role role = block.feed(line).role;
        if (role == InlineBlock::Role::Command && line.empty()) {
            return;
        }
        if (rule != nullptr &&
            (role == InlineBlock::Role::Command || role == InlineBlock::Role::Opening)) {
            checkCommand(line, *read, *rule, inference, records);
        }
        if (rule != nullptr) {
            rule->addCommand(std::string(line));
        }
    }
}
