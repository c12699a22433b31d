#include "preprocess/Preprocessor.h"

#include "containers/NameCompare.h"
#include "driver/RunState.h"
#include "exec/PlatformConventions.h"
#include "preprocess/ConditionEvaluator.h"
#include "preprocess/MacroTable.h"

#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool hasPrefix(std::string_view name, std::string_view prefix) {
    return name.size() >= prefix.size() && sameName(name.substr(0, prefix.size()), prefix);
}

// The first word of the text between delimiter characters; empty when there is none.
std::string firstMacroName(const std::string& argument) {
    std::size_t start = 0;
    while (start < argument.size() && isDelimiter(argument[start])) {
        ++start;
    }
    std::size_t end = start;
    while (end < argument.size() && !isDelimiter(argument[end])) {
        ++end;
    }
    return argument.substr(start, end - start);
}

bool endsIncludeToken(char c) {
    return isBlank(c) || c == '<' || c == '>';
}

std::string firstIncludeToken(const std::string& argument) {
    std::size_t start = 0;
    while (start < argument.size() && endsIncludeToken(argument[start])) {
        ++start;
    }
    std::size_t end = start;
    while (end < argument.size() && !endsIncludeToken(argument[end])) {
        ++end;
    }
    return argument.substr(start, end - start);
}

bool reportInvalidDirective(const std::string& name) {
    RunState& state = runState();
    std::printf("Error (tarvo): %s, line %ld: Invalid directive !%s",
                state.position.fileName.c_str(), state.position.lineNumber, name.c_str());
    state.buildStatus = 1;
    return false;
}

} // namespace

std::optional<bool> Preprocessor::testCondition(const std::string& word,
                                                const std::string& argument) {
    if (sameName(word, "if")) {
        return evaluator_.evaluateCondition(argument);
    }
    if (sameName(word, "ifdef") || sameName(word, "ifndef")) {
        const std::string name = firstMacroName(argument);
        const bool defined = !name.empty() && macros_.isDefined(name);
        return sameName(word, "ifdef") ? defined : !defined;
    }
    return std::nullopt;
}

// The conditional state is one saved (depth, state) pair rather than a stack:
// it matches a stack for balanced blocks, and stray directives act on the pair.
bool Preprocessor::processDirective(const std::string& line, std::FILE* intermediate) {
    ConditionalState& c = runState().conditions;
    std::size_t nameEnd = 1;
    while (nameEnd < line.size() && !isBlank(line[nameEnd])) {
        ++nameEnd;
    }
    const std::string name = line.substr(1, nameEnd - 1);
    const std::string argument = nameEnd < line.size() ? line.substr(nameEnd + 1) : std::string();

    if (hasPrefix(name, "if")) {
        if (c.conditionState == 2) {
            ++c.conditionDepth;
        } else if (c.conditionState == 1) {
            // The whole block lies in the skipped region: no condition is looked at.
            c.savedDepth = c.conditionDepth;
            c.savedState = 1;
            c.conditionState = 2;
            ++c.conditionDepth;
        } else {
            c.savedDepth = c.conditionDepth;
            c.savedState = 0;
            const std::optional<bool> holds = testCondition(name, argument);
            if (!holds) {
                return reportInvalidDirective(name);
            }
            c.conditionState = *holds ? 0 : 1;
            ++c.conditionDepth;
        }
    } else if (hasPrefix(name, "el")) {
        if (c.conditionState == 0) {
            c.conditionState = 2;
        } else if (c.conditionState == 1) {
            // "elif", "elifdef" and "elifndef" test what "if", "ifdef" and "ifndef" do.
            const std::optional<bool> holds = sameName(name, "else")
                                                  ? std::optional<bool>(true)
                                                  : testCondition(name.substr(2), argument);
            if (!holds) {
                return reportInvalidDirective(name);
            }
            if (*holds) {
                c.conditionState = 0;
            }
        }
    } else if (sameName(name, "endif")) {
        --c.conditionDepth;
        if (c.savedDepth == c.conditionDepth) {
            c.conditionState = c.savedState;
            --c.savedDepth;
            c.savedState = 0;
        }
    } else if (sameName(name, "undef")) {
        const std::string macro = firstMacroName(argument);
        if (c.conditionState == 0 && !macro.empty()) {
            macros_.undefine(macro);
        }
    } else if (sameName(name, "error")) {
        if (c.conditionState == 0) {
            std::printf("Error (tarvo): Error Directive: %s\n", argument.c_str());
            runState().buildStatus = 1;
        }
    } else if (sameName(name, "include")) {
        if (c.conditionState == 0) {
            includeFile(argument, intermediate);
        }
    } else {
        return reportInvalidDirective(name);
    }
    return c.conditionState == 0;
}

void Preprocessor::includeFile(const std::string& argument, std::FILE* intermediate) {
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

    RunState& state = runState();
    if (state.includeDepth >= kMaxIncludeDepth) {
        // A file that includes itself would otherwise nest without end.
        std::printf("Error (tarvo): %s, line %ld: Include file %s nested more than %d levels "
                    "deep\n",
                    state.position.fileName.c_str(), state.position.lineNumber, path.c_str(),
                    kMaxIncludeDepth);
        state.buildStatus = 1;
        return;
    }
    // Some systems open a directory as an empty file; it is no include file.
    std::error_code ignored;
    const bool isDirectory = std::filesystem::is_directory(path, ignored);
    const std::unique_ptr<std::FILE, FileCloser> file(isDirectory ? nullptr
                                                                  : std::fopen(path.c_str(), "rb"));
    if (!file) {
        std::printf("Error (tarvo):  Unable to open include file %s\n"
                    "                (make sure KEL_ROOT is defined)",
                    path.c_str());
        state.buildStatus = 1;
        return;
    }
    // Each include level keeps its own name, so records after a nested
    // include return carry the right file name.
    const Position saved = state.position;
    state.position.fileName = path;
    state.position.lineNumber = 0;
    ++state.includeDepth;
    preprocessFile(file.get(), intermediate);
    --state.includeDepth;
    state.position = saved;
}
