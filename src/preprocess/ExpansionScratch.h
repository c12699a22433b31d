#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class MacroEntry;

// One piece of text an expansion still has to read: the rest of the line, or a
// value to be read again after a replacement.
struct ExpansionPiece {
    const char* data;
    std::size_t size;
    std::size_t position;
    int nesting;
};

// The working storage of an expansion, kept by the macro table from line to
// line, so that once it has grown a line allocates nothing of its own.
struct ExpansionScratch {
    std::vector<ExpansionPiece> stack;
    // Owned apart from the vector, so that their text stays where the pieces point.
    std::vector<std::unique_ptr<std::string>> substitutions;
    // A substitution over a long list finds thousands.
    std::vector<std::size_t> occurrences;
    // A reference body that runs across pieces, assembled.
    std::string body;
    // Filled with the expanded line, then swapped with it.
    std::string output;
    // The macros replaced whose value is an environment variable's cut short.
    std::vector<const MacroEntry*> cutUses;
};
