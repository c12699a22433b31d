#include "preprocess/MacroTable.h"
#include "preprocess/Occurrences.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

// Expansion reads the line as a stack of pieces: the rest of the line at the
// bottom, and above it the values still to be read again after a replacement.
// Text before the current position never changes, so the search goes on from
// there instead of from the start of the line, and the work stays linear.

namespace {

// A value that comes back this many times inside itself refers to itself.
constexpr int kMaxNesting = 1000;
// Text produced beyond the table's limit (plus a share proportional to the
// line itself) has run away: a value that holds itself more than once
// multiplies with every level long before the nesting limit.

using Piece = ExpansionPiece;

class Expansion {
  public:
    Expansion(const MacroTable& macros, const std::string& source, ExpansionScratch& scratch)
        : macros_(macros), out_(scratch.output), stack_(scratch.stack),
          substitutions_(scratch.substitutions), occurrences_(scratch.occurrences),
          body_(scratch.body), cutUses_(scratch.cutUses),
          budget_(macros.expansionLimit() + 16 * source.size()) {
        out_.clear();
        out_.reserve(source.size());
        stack_.clear();
        substitutions_.clear();
        stack_.push_back(Piece{source.data(), source.size(), 0, 0});
    }

    bool run(ExpansionFailure* failure);

  private:
    void dropFinishedPieces() {
        while (!stack_.empty() && stack_.back().position == stack_.back().size) {
            stack_.pop_back();
        }
    }

    // The character after the current position of the top piece, looking
    // through to the pieces below; '\0' at the end of the input.
    char peekAfterTop() const {
        const Piece& top = stack_.back();
        if (top.position + 1 < top.size) {
            return top.data[top.position + 1];
        }
        for (std::size_t i = stack_.size() - 1; i-- > 0;) {
            if (stack_[i].position < stack_[i].size) {
                return stack_[i].data[stack_[i].position];
            }
        }
        return '\0';
    }

    char peek() const {
        for (std::size_t i = stack_.size(); i-- > 0;) {
            if (stack_[i].position < stack_[i].size) {
                return stack_[i].data[stack_[i].position];
            }
        }
        return '\0';
    }

    // Reads the reference body after "(" up to its matching ")" or the end of
    // input. The text stays valid until the next body is read.
    std::string_view readBody();
    bool replace(std::string_view body, int nesting, ExpansionFailure* failure);

    // Appends value to result with every occurrence of oldText replaced, the
    // search going on after each replacement; false when the result would run away.
    bool substitute(const std::string& value, std::string_view oldText, std::string_view newText,
                    std::string& result);

    // Counts text produced for the line; false once it has run away.
    bool spend(std::size_t amount) {
        produced_ += amount;
        return produced_ <= budget_;
    }

    static bool fail(const std::string& name, bool tooLarge, ExpansionFailure* failure) {
        if (failure != nullptr) {
            failure->macroName = name;
            failure->tooLarge = tooLarge;
        }
        return false;
    }

    const MacroTable& macros_;
    std::string& out_;
    std::vector<Piece>& stack_;
    std::vector<std::unique_ptr<std::string>>& substitutions_;
    std::vector<std::size_t>& occurrences_;
    std::string& body_;
    std::vector<const MacroEntry*>& cutUses_;
    std::size_t produced_ = 0;
    std::size_t budget_;
    int tailNesting_ = 0;
};

std::string_view Expansion::readBody() {
    int depth = 1;
    dropFinishedPieces();
    if (stack_.empty()) {
        return {};
    }
    // Most bodies lie within one piece: point into it rather than copy.
    Piece& first = stack_.back();
    for (std::size_t i = first.position; i < first.size; ++i) {
        const char c = first.data[i];
        if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            const std::string_view body(first.data + first.position, i - first.position);
            first.position = i + 1;
            return body;
        }
    }
    body_.assign(first.data + first.position, first.size - first.position);
    first.position = first.size;
    dropFinishedPieces();
    while (!stack_.empty()) {
        Piece& top = stack_.back();
        const std::size_t start = top.position;
        while (top.position < top.size) {
            const char c = top.data[top.position];
            if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                body_.append(top.data + start, top.position - start);
                ++top.position;
                return body_;
            }
            ++top.position;
        }
        body_.append(top.data + start, top.position - start);
        dropFinishedPieces();
    }
    return body_;
}

bool Expansion::substitute(const std::string& value, std::string_view oldText,
                           std::string_view newText, std::string& result) {
    // Occurrences are found once and kept, so that the result is sized exactly
    // and filled with plain copies.
    std::vector<std::size_t>& found = occurrences_;
    found.clear();
    findOccurrences(value.data(), value.size(), oldText, found);
    const char* const text = value.data();
    const char* const end = text + value.size();
    const std::size_t length = oldText.size();
    const std::size_t size = value.size() - found.size() * length + found.size() * newText.size();
    if (!spend(size)) {
        return false;
    }
    const std::size_t start = result.size();
    // The pieces are mostly a few bytes long. Short ones are copied as one
    // 16-byte block into a result with room to spare, and the output position
    // moves on by the true length; the slack is cut off at the end.
    constexpr std::size_t kBlock = 16;
    result.resize(start + size + kBlock);
    char* out = &result[start];
    const auto copy = [&out](const char* from, std::size_t count, const char* limit) {
        if (count <= kBlock && static_cast<std::size_t>(limit - from) >= kBlock) {
            std::memcpy(out, from, kBlock);
        } else {
            std::memcpy(out, from, count);
        }
        out += count;
    };
    // The new text gets the same room to spare, so its copies are blocks too.
    std::string padded(newText);
    padded.resize(newText.size() + kBlock);
    const char* const replacement = padded.data();
    const std::size_t replacementLength = newText.size();
    const char* const replacementEnd = replacement + padded.size();
    std::size_t from = 0;
    for (const std::size_t at : found) {
        copy(text + from, at - from, end);
        copy(replacement, replacementLength, replacementEnd);
        from = at + length;
    }
    std::memcpy(out, text + from, value.size() - from);
    result.resize(start + size);
    return true;
}

bool Expansion::replace(std::string_view body, int nesting, ExpansionFailure* failure) {
    const std::size_t colon = body.find(':');
    const std::string_view name = body.substr(0, colon);
    const MacroEntry* entry = macros_.entry(name);
    if (entry == nullptr) {
        return true;
    }
    if (!entry->environmentValue.empty()) {
        cutUses_.push_back(entry);
    }
    const char* text = entry->value.data();
    std::size_t size = entry->value.size();
    if (colon != std::string::npos) {
        const std::size_t equals = body.find('=', colon + 1);
        if (equals == std::string::npos) {
            return true;
        }
        const std::string_view oldText = body.substr(colon + 1, equals - colon - 1);
        const std::string_view newText = body.substr(equals + 1);
        if (name.empty() || oldText.empty() || newText.empty()) {
            return true;
        }
        // A result without "$" would only be copied when read again, unless a
        // "$" already output joins its leading "(" into a reference: write it
        // straight to the output.
        const bool plain = entry->value.find('$') == std::string::npos &&
                           newText.find('$') == std::string_view::npos &&
                           !(!out_.empty() && out_.back() == '$');
        if (plain) {
            const std::size_t before = out_.size();
            if (!substitute(entry->value, oldText, newText, out_)) {
                out_.resize(before);
                return fail(entry->name, true, failure);
            }
            if (out_.size() == before) {
                return true;
            }
            if (nesting + 1 > kMaxNesting) {
                out_.resize(before);
                return fail(entry->name, false, failure);
            }
            tailNesting_ = nesting + 1;
            return true;
        }
        std::string result;
        if (!substitute(entry->value, oldText, newText, result)) {
            return fail(entry->name, true, failure);
        }
        substitutions_.push_back(std::make_unique<std::string>(std::move(result)));
        text = substitutions_.back()->data();
        size = substitutions_.back()->size();
    }
    if (size == 0) {
        return true;
    }
    // A substitution has counted its result already.
    if (colon == std::string::npos && !spend(size)) {
        return fail(entry->name, true, failure);
    }
    if (nesting + 1 > kMaxNesting) {
        return fail(entry->name, false, failure);
    }
    // Likewise a value without "$": it would only be copied when read again.
    if (colon == std::string_view::npos && std::memchr(text, '$', size) == nullptr &&
        !(text[0] == '(' && !out_.empty() && out_.back() == '$')) {
        out_.append(text, size);
        tailNesting_ = nesting + 1;
        return true;
    }
    stack_.push_back(Piece{text, size, 0, nesting + 1});
    return true;
}

bool Expansion::run(ExpansionFailure* failure) {
    for (;;) {
        dropFinishedPieces();
        if (stack_.empty()) {
            return true;
        }
        // A "$" left at the end of the output joins a following "(" into a reference.
        int nesting = -1;
        if (!out_.empty() && out_.back() == '$' && peek() == '(') {
            out_.pop_back();
            nesting = std::max(tailNesting_, stack_.back().nesting);
            ++stack_.back().position;
        } else {
            Piece& top = stack_.back();
            const char* start = top.data + top.position;
            const std::size_t available = top.size - top.position;
            const char* dollar = static_cast<const char*>(std::memchr(start, '$', available));
            if (dollar == nullptr) {
                out_.append(start, available);
                tailNesting_ = top.nesting;
                top.position = top.size;
                continue;
            }
            const std::size_t before = static_cast<std::size_t>(dollar - start);
            out_.append(start, before);
            top.position += before;
            if (peekAfterTop() != '(') {
                out_ += '$';
                tailNesting_ = top.nesting;
                ++top.position;
                continue;
            }
            nesting = top.nesting;
            ++top.position; // the "$"
            dropFinishedPieces();
            ++stack_.back().position; // the "("
        }
        if (!replace(readBody(), nesting, failure)) {
            return false;
        }
    }
}

} // namespace

bool MacroTable::expandMacros(std::string& line, ExpansionFailure* failure) const {
    scratch_.cutUses.clear();
    if (line.find("$(") == std::string::npos) {
        return true;
    }
    bool expanded = false;
    {
        Expansion expansion(*this, line, scratch_);
        expanded = expansion.run(failure);
    }
    // The line's storage becomes the output of the next expansion.
    line.swap(scratch_.output);
    scratch_.substitutions.clear();
    return expanded;
}
