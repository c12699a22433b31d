#include "preprocess/Preprocessor.h"

#include "containers/NameCompare.h"
#include "platform/File.h"
#include "platform/PlatformConventions.h"
#include "preprocess/ConditionEvaluator.h"
#include "preprocess/MacroTable.h"
#include "text/Blanks.h"
#include "text/Delimiters.h"
#include "text/Diagnostics.h"
#include "text/ErrorReport.h"

#include <string_view>

namespace {

bool hasPrefix(std::string_view name, std::string_view prefix) {
    return name.size() >= prefix.size() && sameName(name.substr(0, prefix.size()), prefix);
}

// The first run of characters that `separates` does not match; empty when
// there is none.
template <typename Separates>
std::string firstToken(const std::string& argument, Separates separates) {
    std::size_t start = 0;
    while (start < argument.size() && separates(argument[start])) {
        ++start;
    }
    std::size_t end = start;
    while (end < argument.size() && !separates(argument[end])) {
        ++end;
    }
    return argument.substr(start, end - start);
}

std::string firstMacroName(const std::string& argument) {
    return firstToken(argument, isDelimiter);
}

std::string firstIncludeToken(const std::string& argument) {
    return firstToken(argument, [](char c) { return isBlank(c) || c == '<' || c == '>'; });
}

} // namespace

bool Preprocessor::reportInvalidDirective(const std::string& name) {
    status_ = diagnostics_.error(message::kInvalidDirective, fileName_.c_str(), lineNumber(),
                                 name.c_str());
    return false;
}

std::optional<bool> Preprocessor::testCondition(const std::string& word,
                                                const std::string& argument) {
    if (sameName(word, "if")) {
        const bool holds = evaluator_.evaluateCondition(argument);
        habits_.checkCondition(argument, holds, evaluator_, fileName_, lineNumber());
        return holds;
    }
    if (sameName(word, "ifdef") || sameName(word, "ifndef")) {
        const std::string name = firstMacroName(argument);
        const bool defined = !name.empty() && macros_.isDefined(name);
        return sameName(word, "ifdef") ? defined : !defined;
    }
    return std::nullopt;
}

bool Preprocessor::processDirective(const std::string& line, IntermediateFile& intermediate) {
    Conditions& c = conditions_;
    std::size_t nameEnd = 1;
    while (nameEnd < line.size() && !isBlank(line[nameEnd])) {
        ++nameEnd;
    }
    const std::string name = line.substr(1, nameEnd - 1);
    const std::string argument = nameEnd < line.size() ? line.substr(nameEnd + 1) : std::string();

    if (hasPrefix(name, "if")) {
        if (c.state == Conditions::kSkippingToEndif) {
            ++c.depth;
        } else if (c.state == Conditions::kSkippingBranchMayCome) {
            // The whole block lies in the skipped region: no condition is looked at.
            c.savedDepth = c.depth;
            c.savedState = Conditions::kSkippingBranchMayCome;
            c.state = Conditions::kSkippingToEndif;
            ++c.depth;
        } else {
            c.savedDepth = c.depth;
            c.savedState = Conditions::kTaking;
            const std::optional<bool> holds = testCondition(name, argument);
            if (!holds) {
                return reportInvalidDirective(name);
            }
            c.state = *holds ? Conditions::kTaking : Conditions::kSkippingBranchMayCome;
            ++c.depth;
        }
    } else if (hasPrefix(name, "el")) {
        if (c.state == Conditions::kTaking) {
            c.state = Conditions::kSkippingToEndif;
        } else if (c.state == Conditions::kSkippingBranchMayCome) {
            // "elif", "elifdef" and "elifndef" test what "if", "ifdef" and "ifndef" do.
            const std::optional<bool> holds = sameName(name, "else")
                                                  ? std::optional<bool>(true)
                                                  : testCondition(name.substr(2), argument);
            if (!holds) {
                return reportInvalidDirective(name);
            }
            if (*holds) {
                c.state = Conditions::kTaking;
            }
        }
    } else if (sameName(name, "endif")) {
        --c.depth;
        if (c.savedDepth == c.depth) {
            c.state = c.savedState;
            --c.savedDepth;
            c.savedState = Conditions::kTaking;
        }
    } else if (sameName(name, "undef")) {
        const std::string macro = firstMacroName(argument);
        if (c.state == Conditions::kTaking && !macro.empty()) {
            macros_.undefine(macro);
        }
    } else if (sameName(name, "error")) {
        if (c.state == Conditions::kTaking) {
            status_ = diagnostics_.error(message::kErrorDirective, argument.c_str());
        }
    } else if (sameName(name, "include")) {
        if (c.state == Conditions::kTaking) {
            includeFile(argument, intermediate);
        }
    } else {
        return reportInvalidDirective(name);
    }
    return c.state == Conditions::kTaking;
}

void Preprocessor::includeFile(const std::string& argument, IntermediateFile& intermediate) {
    const std::string token = firstIncludeToken(argument);
    if (token.empty()) {
        return;
    }
    std::string path;
    if (token[0] == '"') {
        const std::size_t quote = token.find('"', 1);
        path = token.substr(1, quote == std::string::npos ? std::string::npos : quote - 1);
    } else if (macros_.isDefined("KEL_ROOT")) {
        const char* const separator = directorySeparator();
        path = macros_.valueOf("KEL_ROOT") + separator + "include" + separator + token;
    } else {
        path = token;
    }

    if (includeDepth_ >= kMaxIncludeDepth) {
        // A file that includes itself would otherwise nest without end.
        status_ = diagnostics_.error(message::kIncludeTooDeep, fileName_.c_str(), lineNumber(),
                                     path.c_str(), kMaxIncludeDepth);
        return;
    }
    const File file = openForReading(path);
    if (!file) {
        status_ = diagnostics_.error(message::kUnableToOpenInclude, path.c_str());
        return;
    }
    // The include file's reader counts its own lines from 0; the including
    // file's reader, and with it the line number, is back once it ends.
    std::string including = std::move(fileName_);
    fileName_ = path;
    ++includeDepth_;
    preprocessFile(file.get(), intermediate);
    --includeDepth_;
    fileName_ = std::move(including);
}
