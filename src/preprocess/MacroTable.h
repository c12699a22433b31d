#pragma once

#include "containers/NameTable.h"
#include "preprocess/ExpansionScratch.h"

#include <string>
#include <string_view>

// One macro, its name spelled as in its latest definition.
class MacroEntry {
  public:
    bool locked = false;
    std::string name;
    std::string value;
    // The environment variable's whole value when the macro holds only its
    // first word; otherwise empty.
    std::string environmentValue;
};

struct ExpansionFailure {
    std::string macroName;
    bool tooLarge = false; // grew too large rather than nested too deep
};

// Named text values, names compared without regard to letter case. Locked
// macros (from the command line) can be neither redefined nor undefined.
class MacroTable {
  public:
    MacroTable() = default;
    MacroTable(const MacroTable&) = delete;
    MacroTable& operator=(const MacroTable&) = delete;
    ~MacroTable() = default;

    void define(std::string name, std::string value);
    // Defines a macro of the environment: `value` is the first word of the
    // variable's `wholeValue`.
    void defineFromEnvironment(std::string name, std::string value, const std::string& wholeValue);
    void lock(const std::string& name);
    void undefine(const std::string& name);
    bool isDefined(const std::string& name) const;
    // The value, or the name itself when no such macro exists.
    const std::string& valueOf(const std::string& name) const;
    // The entry, or nullptr.
    const MacroEntry* entry(std::string_view name) const;

    // Line operations of pass 1, on the line in place.
    static bool isMacroDefinitionLine(const std::string& line);
    void defineMacroFromLine(const std::string& line);
    // May take the line's storage for the value.
    void defineMacroFromLine(std::string&& line);
    // Replaces every $(NAME) and $(NAME:old=new) reference. Returns false, with
    // the line cut short, when a value refers to itself without end or the
    // line grows beyond all reason; `failure` then names the macro.
    bool expandMacros(std::string& line, ExpansionFailure* failure = nullptr) const;
    // The macros that the last expandMacros replaced whose value is an
    // environment variable's cut to its first word, as often as they were.
    const std::vector<const MacroEntry*>& cutEnvironmentUses() const { return scratch_.cutUses; }

    // How much text one line may produce before its expansion counts as
    // runaway, besides a share proportional to the line itself.
    void setExpansionLimit(std::size_t bytes) { expansionLimit_ = bytes; }
    std::size_t expansionLimit() const { return expansionLimit_; }

  private:
    MacroEntry* find(std::string_view name) const;

    struct Slot {
        bool defined = false;
        MacroEntry entry;
    };

    std::size_t expansionLimit_ = std::size_t(1) << 26;
    // A hash table, not a search tree: a makefile with thousands of macros
    // looks them up on nearly every line and never lists them in order. An
    // undefined name keeps its slot, with no macro.
    NameTable<Slot, true> slots_;
    mutable ExpansionScratch scratch_;
};
