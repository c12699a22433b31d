#include "preprocess/GnuMakeHabits.h"

#include "containers/NameCompare.h"
#include "preprocess/ConditionEvaluator.h"
#include "preprocess/MacroTable.h"
#include "text/Blanks.h"
#include "text/Delimiters.h"
#include "text/Diagnostics.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isOneOf(char c, const char* set) {
    return c != '\0' && std::strchr(set, c) != nullptr;
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::size_t skipBlanks(std::string_view text, std::size_t i) {
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    return i;
}

std::string_view trimmed(std::string_view text) {
    const std::size_t start = skipBlanks(text, 0);
    std::size_t end = text.size();
    while (end > start && isBlank(text[end - 1])) {
        --end;
    }
    return text.substr(start, end - start);
}

// The ")" that closes the "(" at `open`, parentheses nesting as expansion
// counts them; npos when none does.
std::size_t closingParenthesis(std::string_view text, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < text.size(); ++i) {
        if (text[i] == '(') {
            ++depth;
        } else if (text[i] == ')' && --depth == 0) {
            return i;
        }
    }
    return npos;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            text += i + 1 == items.size() ? " and " : ", ";
        }
        text += items[i];
    }
    return text;
}

// --- Automatic variables --------------------------------------------------------------

// The special macro that GNU make's automatic variable `form` ("$^", or
// "$(^F)" by its first character) likely means in a command of the rule.
std::string meantBy(char form, bool inference, const std::string& targetExtension) {
    if (form == '@') {
        return inference ? "$*" + targetExtension + " (the target)" : std::string();
    }
    if (inference) {
        return "$< (the source)";
    }
    return form == '?' ? "$@ (all the dependencies, without their directories: none lists only "
                         "the newer ones)"
                       : "$@ (the dependencies, without their directories)";
}

// --- Functions --------------------------------------------------------------------------

constexpr const char* kNamesOut = "write the names out";
constexpr const char* kWordsOut = "write the words out";
constexpr const char* kConditions = "!if, !ifdef and !ifndef choose between lines";
constexpr const char* kNoMessage = "there is no message directive (!error stops the run with one)";

struct Function {
    const char* name;
    // What this dialect offers; empty: nothing; null: a substitution reference.
    const char* instead;
};

const Function kFunctions[] = {
    {"abspath", kNamesOut},
    {"addprefix", kNamesOut},
    {"addsuffix", kNamesOut},
    {"and", kConditions},
    {"basename", kNamesOut},
    {"call", ""},
    {"dir", kNamesOut},
    {"error", "!error stops the run with a message"},
    {"eval", ""},
    {"file", ""},
    {"filter", kWordsOut},
    {"filter-out", kWordsOut},
    {"findstring", kConditions},
    {"firstword", kWordsOut},
    {"flavor", ""},
    {"foreach", kWordsOut},
    {"guile", ""},
    {"if", kConditions},
    {"info", kNoMessage},
    {"intcmp", kConditions},
    {"join", kWordsOut},
    {"lastword", kWordsOut},
    {"let", ""},
    {"notdir", kNamesOut},
    {"or", kConditions},
    {"origin", ""},
    {"patsubst", nullptr},
    {"realpath", kNamesOut},
    {"shell", "no command runs while the makefile is read: give the value on the command line "
              "(NAME=value) or in the environment"},
    {"sort", kWordsOut},
    {"strip", kWordsOut},
    {"subst", nullptr},
    {"suffix", kNamesOut},
    {"value", ""},
    {"warning", kNoMessage},
    {"wildcard", "list the files by name"},
    {"word", kWordsOut},
    {"wordlist", kWordsOut},
    {"words", kWordsOut},
};

const Function* findFunction(std::string_view name) {
    for (const Function& function : kFunctions) {
        if (name == function.name) {
            return &function;
        }
    }
    return nullptr;
}

// The arguments of a function call, split at the commas outside parentheses.
std::vector<std::string_view> functionArguments(std::string_view text) {
    std::vector<std::string_view> arguments;
    std::size_t start = 0;
    int depth = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || (text[i] == ',' && depth == 0)) {
            arguments.push_back(trimmed(text.substr(start, i - start)));
            start = i + 1;
        } else if (text[i] == '(') {
            ++depth;
        } else if (text[i] == ')') {
            --depth;
        }
    }
    return arguments;
}

// The substitution reference that does what $(subst ...) or $(patsubst ...)
// does, when the text is one macro's value and the patterns allow it.
std::string substitutionFor(std::string_view function, std::string_view argumentText) {
    const std::string generic = "$(NAME:old=new) replaces text in a macro's value";
    const std::vector<std::string_view> arguments = functionArguments(argumentText);
    if (arguments.size() != 3) {
        return generic;
    }
    std::string_view from = arguments[0];
    std::string_view to = arguments[1];
    const std::string_view text = arguments[2];
    if (function == "patsubst") {
        if (from.empty() || to.empty() || from[0] != '%' || to[0] != '%') {
            return generic;
        }
        from.remove_prefix(1);
        to.remove_prefix(1);
    }
    const bool oneMacro = text.size() > 3 && text.substr(0, 2) == "$(" && text.back() == ')' &&
                          text.find_first_of(":$()", 2) == text.size() - 1;
    if (!oneMacro || from.empty() || to.empty() || from.find('%') != npos || to.find('%') != npos) {
        return generic;
    }
    return "write " + std::string(text.substr(0, text.size() - 1)) + ":" + std::string(from) + "=" +
           std::string(to) + ")";
}

// --- Directives ---------------------------------------------------------------------------

struct Directive {
    const char* name;
    // Opens or closes a part of the makefile: said also where it stands
    // among a rule's commands, in the first column.
    bool amongCommands;
    bool lacked; // this dialect has no counterpart
    const char* instead;
};

constexpr const char* kOptionalInclude =
    "!include \"file\", which a missing file stops; for the compiler's dependency files set "
    "TARVO_DEPFILE";
constexpr const char* kExport = "commands get tarvo's environment, not its macros; set the "
                                "variable in the command (NAME=value command) or before tarvo "
                                "starts";
constexpr const char* kDefine = "a macro's value is one line, which a backslash at its end "
                                "continues";

const Directive kDirectives[] = {
    {"ifeq", true, false, "!if a == b"},
    {"ifneq", true, false, "!if a != b"},
    {"ifdef", true, false, "!ifdef NAME"},
    {"ifndef", true, false, "!ifndef NAME"},
    {"else", true, false, "!else (!elif for else ifeq)"},
    {"endif", true, false, "!endif"},
    {"include", true, false, "!include \"file\""},
    {"-include", true, false, kOptionalInclude},
    {"sinclude", true, false, kOptionalInclude},
    {"define", true, true, kDefine},
    {"endef", true, true, kDefine},
    {"export", false, true, kExport},
    {"unexport", false, true, kExport},
    {"override", false, true,
     "macros given on the command line win over the makefile's anyway: write NAME = value"},
    {"vpath", false, true, "name the files with their directories"},
};

// What GNU make would make of a reference that this dialect reads
// otherwise, in the commands of an inference rule or not; empty for none.
// Most references are plain macros: they are told apart without a copy.
std::string referenceHabit(std::string_view reference, std::string_view body,
                           const MacroTable& macros, bool inference) {
    if (body.empty()) {
        return std::string();
    }
    const char first = body[0];
    const bool automatic = first == '@' || first == '<' || first == '*';
    const bool listing = first == '^' || first == '+' || first == '?';
    if (automatic || listing) {
        if (macros.entry(body.substr(0, body.find(':'))) != nullptr) {
            return std::string();
        }
        const std::string vanishes =
            std::string(reference) + " names no macro and expands to nothing; ";
        if (automatic) {
            return vanishes + "the special macros of commands are $@, $<, $* and $&";
        }
        return vanishes + (body.size() > 1 && body[1] == 'D'
                               ? "no special macro gives the directories of the dependencies"
                               : "did you mean " + meantBy(first, inference, std::string()) + "?");
    }
    // A function's name is lower-case letters and "-", and a blank follows it.
    std::size_t wordEnd = 0;
    while (wordEnd < body.size() &&
           ((body[wordEnd] >= 'a' && body[wordEnd] <= 'z') || body[wordEnd] == '-')) {
        ++wordEnd;
    }
    if (wordEnd > 0 && wordEnd < body.size() && isBlank(body[wordEnd])) {
        const Function* function = findFunction(body.substr(0, wordEnd));
        if (function == nullptr || macros.entry(body.substr(0, body.find(':'))) != nullptr) {
            return std::string();
        }
        const std::string instead = function->instead == nullptr
                                        ? substitutionFor(function->name, body.substr(wordEnd + 1))
                                        : std::string(function->instead);
        return std::string(reference) + " is GNU make's " + function->name +
               " function, which this dialect lacks: it names no macro and expands to nothing" +
               (instead.empty() ? std::string() : "; " + instead);
    }
    const std::size_t colon = body.find(':');
    const std::size_t equals = colon == npos ? npos : body.find('=', colon);
    if (equals == npos || body.substr(colon, equals - colon).find('%') == npos) {
        return std::string();
    }
    const std::string_view name = body.substr(0, colon);
    if (macros.entry(name) == nullptr) {
        return std::string();
    }
    const std::string_view from = body.substr(colon + 1, equals - colon - 1);
    const std::string_view to = body.substr(equals + 1);
    std::string message = std::string(reference) +
                          ": GNU make's % patterns mean nothing here, so " + quoted(from) +
                          " is searched for as it is";
    if (!from.empty() && !to.empty() && from[0] == '%' && to[0] == '%' &&
        from.find('%', 1) == npos && to.find('%', 1) == npos) {
        message += "; write $(" + std::string(name) + ":" + std::string(from.substr(1)) + "=" +
                   std::string(to.substr(1)) + ")";
    }
    return message;
}

} // namespace

void GnuMakeHabits::say(const std::string& file, const std::string& lineText,
                        const std::string& message) {
    // An include file read twice shows its lines twice; each is said once.
    if (diagnostics_.firstTime("habit|" + file + ',' + lineText + '|' + message)) {
        diagnostics_.warn("%s, line %s: %s", file.c_str(), lineText.c_str(), message.c_str());
    }
}

void GnuMakeHabits::checkReferences(const std::string& line, const MacroTable& macros, bool kept,
                                    const std::string& file, long number) {
    // A line that a skipped block drops is said nothing of.
    const bool directive = !line.empty() && line[0] == '!';
    if (!kept && !directive) {
        return;
    }
    const std::string_view text = line;
    for (std::size_t at = text.find("$("); at != npos;) {
        const std::size_t close = closingParenthesis(text, at + 1);
        const std::size_t end = close == npos ? text.size() : close + 1;
        const std::string_view body = text.substr(at + 2, (close == npos ? end : close) - at - 2);
        const std::string message =
            referenceHabit(text.substr(at, end - at), body, macros, block_ == Block::Inference);
        if (!message.empty()) {
            say(file, std::to_string(number), message);
        }
        // References do not nest: those inside it are part of its name.
        at = text.find("$(", end);
    }
    if (kept && !directive && block_ != Block::None) {
        checkFirstWord(line, macros, file, number);
    }
}

void GnuMakeHabits::checkFirstWord(const std::string& line, const MacroTable& macros,
                                   const std::string& file, long number) {
    const std::string_view text = line;
    std::vector<std::string> vanished;
    std::size_t i = skipBlanks(text, 0);
    while (text.compare(i, 2, "$(") == 0) {
        const std::size_t close = closingParenthesis(text, i + 1);
        if (close == npos) {
            return;
        }
        const std::string_view body = text.substr(i + 2, close - i - 2);
        // A defined macro gives the first word, or a prefix on purpose.
        if (macros.entry(body.substr(0, body.find(':'))) != nullptr) {
            return;
        }
        vanished.push_back(std::string(text.substr(i, close + 1 - i)));
        const std::size_t next = skipBlanks(text, close + 1);
        // "$(Q)@echo": what follows is part of the same word, a prefix on purpose.
        if (next == close + 1 && text.compare(next, 2, "$(") != 0) {
            return;
        }
        i = next;
    }
    if (vanished.empty() || i >= text.size() || !isOneOf(text[i], "-@")) {
        return;
    }
    std::size_t prefixEnd = i;
    while (prefixEnd < text.size() && isOneOf(text[prefixEnd], "-@")) {
        ++prefixEnd;
    }
    std::size_t wordEnd = prefixEnd;
    while (wordEnd < text.size() && !isBlank(text[wordEnd])) {
        ++wordEnd;
    }
    const std::string_view prefix = text.substr(i, prefixEnd - i);
    const bool ignores = prefix.find('-') != npos;
    const bool silences = prefix.find('@') != npos;
    const char* const effect = ignores && silences ? "not echoed, errors ignored"
                               : ignores           ? "errors ignored"
                                                   : "not echoed";
    say(file, std::to_string(number),
        listed(vanished) + (vanished.size() == 1 ? " names no macro" : " name no macro") +
            ", so the command begins with " + quoted(text.substr(i, wordEnd - i)) + ", whose " +
            quoted(prefix) + " is taken as a prefix (" + effect + "): it runs as " +
            quoted(trimmed(text.substr(prefixEnd))));
}

void GnuMakeHabits::checkRecord(const std::string& line, const std::string& file, long number) {
    // An assignment starts in the first column, like a definition.
    if (!line.empty() && !isBlank(line[0])) {
        checkAssignment(line, file, number);
    }

    // The command blocks, as pass 2 will read them.
    if (block_ == Block::None) {
        if (line.empty()) {
            return;
        }
        const std::size_t secondDot = line[0] == '.' ? line.find('.', 1) : npos;
        block_ = line[0] == '.'
                     ? (secondDot != npos && secondDot > 1 ? Block::Inference : Block::None)
                     : (line.find(':') != npos ? Block::Explicit : Block::None);
        inline_ = InlineBlock();
        return;
    }
    const std::string_view command = std::string_view(line).substr(skipBlanks(line, 0));
    if (inline_.feed(command).role == InlineBlock::Role::Command && command.empty()) {
        block_ = Block::None;
    }
}

void GnuMakeHabits::checkAssignment(const std::string& line, const std::string& file, long number) {
    std::string_view rest = line;
    for (const std::string_view modifier : {"export", "override"}) {
        if (rest.size() > modifier.size() && rest.compare(0, modifier.size(), modifier) == 0 &&
            isBlank(rest[modifier.size()])) {
            rest.remove_prefix(skipBlanks(rest, modifier.size()));
        }
    }
    std::size_t nameEnd = 0;
    while (nameEnd < rest.size() && !isDelimiter(rest[nameEnd])) {
        ++nameEnd;
    }
    if (nameEnd == 0) {
        return;
    }
    const std::size_t at = skipBlanks(rest, nameEnd);
    struct Assignment {
        std::string_view op;
        const char* kind;
    };
    static const Assignment kAssignments[] = {{":::=", "immediate"}, {"::=", "immediate"},
                                              {":=", "immediate"},   {"+=", "appending"},
                                              {"?=", "conditional"}, {"!=", "shell"}};
    for (const Assignment& assignment : kAssignments) {
        const std::string_view op = assignment.op;
        if (rest.compare(at, op.size(), op) != 0) {
            continue;
        }
        const std::string name(rest.substr(0, nameEnd));
        const std::string value(trimmed(rest.substr(at + op.size())));
        std::string instead;
        if (op == "+=") {
            instead = ": write " + name + " = $(" + name + ") " + value;
        } else if (op == "?=") {
            instead =
                ": write " + name + " = " + value + " between !ifndef " + name + " and !endif";
        } else if (op == "!=") {
            instead = ", and no command runs while the makefile is read: give " + name +
                      " on the command line (" + name + "=value) or write its value out";
        } else {
            instead =
                ", and it too expands the value where it stands: write " + name + " = " + value;
        }
        say(file, std::to_string(number),
            quoted(name + " " + std::string(op)) + " is GNU make's " + assignment.kind +
                " assignment; = is this dialect's only one" + instead);
        return;
    }
}

void GnuMakeHabits::checkCondition(const std::string& condition, bool holds,
                                   ConditionEvaluator& evaluator, const std::string& file,
                                   long number) {
    // The words that a writer likely meant whole and the condition splits,
    // each with the first character that splits it.
    struct Split {
        std::size_t begin;
        std::size_t end;
        std::size_t at;
    };
    std::vector<Split> splits;
    const std::string_view text = condition;
    for (std::size_t i = skipBlanks(text, 0); i < text.size(); i = skipBlanks(text, i)) {
        std::size_t end = i;
        std::size_t split = npos;
        if (text[i] == '"') {
            const std::size_t quote = text.find('"', i + 1);
            end = quote == npos ? text.size() : quote + 1;
            for (std::size_t j = i; j < end && split == npos; ++j) {
                if (isDelimiter(text[j])) {
                    split = j;
                }
            }
        } else {
            // Operators and parentheses split words as they are meant to.
            bool plain = false;
            while (end < text.size() && !isBlank(text[end]) && text[end] != '"' &&
                   !isOneOf(text[end], "=!&|()")) {
                if (!isDelimiter(text[end])) {
                    plain = true;
                } else if (split == npos) {
                    split = end;
                }
                ++end;
            }
            if (end == i) {
                ++end;
            }
            if (!plain) {
                split = npos;
            }
        }
        if (split != npos) {
            splits.push_back({i, end, split});
        }
        i = end;
    }
    if (splits.empty()) {
        return;
    }

    // Said only where it matters: when the condition with each of those
    // words whole, in a form that nothing splits, comes out otherwise.
    std::string whole;
    std::vector<std::string_view> distinct;
    std::size_t from = 0;
    for (const Split& split : splits) {
        const std::string_view word = text.substr(split.begin, split.end - split.begin);
        std::size_t index = 0;
        while (index < distinct.size() && !sameName(distinct[index], word)) {
            ++index;
        }
        if (index == distinct.size()) {
            distinct.push_back(word);
        }
        whole.append(condition, from, split.begin - from);
        whole += '\x01' + std::to_string(index);
        from = split.end;
    }
    whole.append(condition, from, std::string::npos);
    if (evaluator.evaluateCondition(whole) == holds) {
        return;
    }

    for (const Split& split : splits) {
        // The pieces as the condition's words come out of it.
        std::vector<std::string> pieces;
        const std::string_view word = text.substr(split.begin, split.end - split.begin);
        for (std::size_t j = 0; j < word.size();) {
            if (isBlank(word[j])) {
                ++j;
                continue;
            }
            const bool delimiters = isDelimiter(word[j]);
            std::size_t k = j;
            while (k < word.size() && !isBlank(word[k]) && isDelimiter(word[k]) == delimiters) {
                ++k;
            }
            pieces.push_back(std::string(word.substr(j, k - j)));
            j = k;
        }
        const char at = text[split.at];
        std::string message =
            "the word " + std::string(word) + " is split at " +
            (isBlank(at) ? std::string("a blank") : quoted(std::string(1, at))) + " into " +
            listed(pieces) +
            ": a condition's words end at blanks and punctuation, quotation marks or not, so the "
            "condition is " +
            (holds ? "true" : "false") + " where whole words would make it " +
            (holds ? "false" : "true");
        if (!isBlank(at)) {
            message += "; $(NAME:" + std::string(1, at) + "=_) makes one word of such a value";
        }
        say(file, std::to_string(number), message);
    }
}

void GnuMakeHabits::checkDirective(std::string_view line, bool inBlock, const std::string& file,
                                   const std::string& lineText) {
    std::size_t wordEnd = 0;
    while (wordEnd < line.size() && !isBlank(line[wordEnd]) && line[wordEnd] != '(') {
        ++wordEnd;
    }
    const std::string_view word = line.substr(0, wordEnd);
    for (const Directive& directive : kDirectives) {
        if (word != directive.name || (inBlock && !directive.amongCommands)) {
            continue;
        }
        say(file, lineText,
            std::string(directive.name) + " is a GNU make directive" +
                (directive.lacked ? ", which this dialect lacks: "
                                  : "; here directives begin with \"!\": write ") +
                directive.instead);
        return;
    }
}

void GnuMakeHabits::checkPatternRule(std::string_view line, const std::string& file,
                                     const std::string& lineText) {
    const std::size_t colon = line.find(':');
    std::vector<std::string_view> targets;
    std::vector<std::string_view> dependencies;
    const auto words = [](std::string_view text, std::vector<std::string_view>& into) {
        for (std::size_t i = skipBlanks(text, 0); i < text.size(); i = skipBlanks(text, i)) {
            const std::size_t start = i;
            while (i < text.size() && !isBlank(text[i])) {
                ++i;
            }
            into.push_back(text.substr(start, i - start));
        }
    };
    words(line.substr(0, colon), targets);
    words(line.substr(colon + 1), dependencies);

    // "%.o: %.c", or the static form "a.o b.o: %.o: %.c".
    std::string_view target;
    std::size_t from = 0;
    for (const std::string_view word : targets) {
        if (word.find('%') != npos) {
            target = word;
            break;
        }
    }
    if (target.empty()) {
        for (; from < dependencies.size(); ++from) {
            const std::string_view word = dependencies[from];
            if (word.size() > 1 && word.back() == ':' && word.find('%') != npos) {
                target = word.substr(0, word.size() - 1);
                ++from;
                break;
            }
        }
        if (target.empty()) {
            return;
        }
    }
    std::string_view source;
    for (; from < dependencies.size() && source.empty(); ++from) {
        if (dependencies[from].find('%') != npos) {
            source = dependencies[from];
        }
    }

    const std::size_t targetStem = target.find('%');
    const std::size_t sourceStem = source.empty() ? npos : source.find('%');
    const std::string_view targetExtension = target.substr(targetStem + 1);
    const std::string_view sourceExtension =
        sourceStem == npos ? std::string_view() : source.substr(sourceStem + 1);
    const auto isExtension = [](std::string_view text) {
        return text.size() > 1 && text[0] == '.' && text.find_first_of("/\\%", 1) == npos;
    };
    std::string instead;
    if (isExtension(targetExtension) && isExtension(sourceExtension)) {
        const std::string rule = std::string(sourceExtension) + std::string(targetExtension) + ":";
        instead = target.substr(0, targetStem) == source.substr(0, sourceStem)
                      ? "write the inference rule " + rule
                      : "the nearest is the inference rule " + rule + ", which makes name" +
                            std::string(targetExtension) + " from name" +
                            std::string(sourceExtension) + " in the same directory";
    } else {
        instead = "an inference rule such as .c.o: makes name.o from name.c";
    }
    say(file, lineText,
        quoted(std::string(target) + ":" + (source.empty() ? "" : " " + std::string(source))) +
            " is GNU make's pattern rule, which this dialect lacks; " + instead);
}

void GnuMakeHabits::checkRuleLine(std::string_view line, const std::string& file,
                                  const std::string& lineText) {
    checkDirective(line, false, file, lineText);
    if (!line.empty() && line[0] != '.' && line.find(':') != npos && line.find('%') != npos) {
        checkPatternRule(line, file, lineText);
    }
}

void GnuMakeHabits::checkCommand(std::string_view line, bool firstColumn,
                                 const std::string* targetExtension, const std::string& file,
                                 const std::string& lineText) {
    if (firstColumn) {
        checkDirective(line, true, file, lineText);
    }
    const bool inference = targetExtension != nullptr;
    const char* const kind = inference ? "an inference rule" : "an explicit rule";
    bool inSingle = false;
    bool inDouble = false;
    // The shell's $? tells of a command before it on the line; without one
    // it can only be GNU make's list of newer dependencies.
    bool afterCommand = false;
    // The "}" that ends a "$${", looked for once per "}" on the line.
    std::size_t brace = 0;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const char c = line[i];
        if (c == '\'' && !inDouble) {
            inSingle = !inSingle;
        } else if (c == '"' && !inSingle) {
            inDouble = !inDouble;
        } else if (isOneOf(c, ";&|(`")) {
            afterCommand = true;
        }
        if (c != '$') {
            continue;
        }
        const char form = line[i + 1];
        // A quotation mark after the "$" still opens or closes a quote.
        if (form == '\'' || form == '"') {
            continue;
        }
        ++i;
        if (form == '$') {
            // GNU make's "$$" for the shell's "$".
            std::size_t end = i + 1;
            if (end < line.size() && line[end] == '{') {
                if (brace != npos && brace < end) {
                    brace = line.find('}', end);
                }
                end = brace == npos ? npos : brace + 1;
            } else if (end < line.size() && line[end] == '?') {
                ++end;
            } else {
                while (end < line.size() && isNameCharacter(line[end])) {
                    ++end;
                }
            }
            if (end != npos && end > i + 1) {
                const std::string written(line.substr(i - 1, end - i + 1));
                say(file, lineText,
                    written +
                        " reaches the shell as it is, and there $$ is its process "
                        "number: a $ needs no doubling here, so write " +
                        written.substr(1));
                i = end - 1;
            }
            continue;
        }
        // Text in single quotes is for another program (awk, perl, sed).
        const bool meant = (form == '@' && inference) || (!inSingle && isOneOf(form, "^+|")) ||
                           (!inSingle && form == '?' && !afterCommand);
        if (!meant) {
            continue;
        }
        const std::string written = std::string("$") + form;
        const std::string said = written + " means nothing in the commands of " + kind +
                                 " and reaches the shell as it is; ";
        say(file, lineText,
            said + (form == '|' ? std::string("this dialect has no order-only dependencies")
                                : "did you mean " +
                                      meantBy(form, inference,
                                              inference ? *targetExtension : std::string()) +
                                      "?"));
    }
}
