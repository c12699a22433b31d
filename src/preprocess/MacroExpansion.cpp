#include "preprocess/MacroTable.h"

#include <algorithm>
#include <cstring>
#include <deque>
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

struct Piece {
    const char* data;
    std::size_t size;
    std::size_t position;
    int nesting;
};

class Expansion {
  public:
    Expansion(const MacroTable& macros, const std::string& source, std::string& out)
        : macros_(macros), out_(out), budget_(macros.expansionLimit() + 16 * source.size()) {
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

    // Reads the reference body after "(" up to its matching ")" or the end of input.
    void readBody(std::string& body);
    bool replace(const std::string& body, int nesting, ExpansionFailure* failure);

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
    std::size_t produced_ = 0;
    std::size_t budget_;
    std::vector<Piece> stack_;
    std::deque<std::string> substitutions_;
    int tailNesting_ = 0;
};

void Expansion::readBody(std::string& body) {
    int depth = 1;
    dropFinishedPieces();
    while (!stack_.empty()) {
        Piece& top = stack_.back();
        const std::size_t start = top.position;
        while (top.position < top.size) {
            const char c = top.data[top.position];
            if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                body.append(top.data + start, top.position - start);
                ++top.position;
                return;
            }
            ++top.position;
        }
        body.append(top.data + start, top.position - start);
        dropFinishedPieces();
    }
}

bool Expansion::replace(const std::string& body, int nesting, ExpansionFailure* failure) {
    const std::size_t colon = body.find(':');
    const std::string name = body.substr(0, colon);
    const MacroEntry* entry = macros_.entry(name);
    if (entry == nullptr) {
        return true;
    }
    const char* text = entry->value.data();
    std::size_t size = entry->value.size();
    if (colon != std::string::npos) {
        const std::size_t equals = body.find('=', colon + 1);
        if (equals == std::string::npos) {
            return true;
        }
        const std::string oldText = body.substr(colon + 1, equals - colon - 1);
        const std::string newText = body.substr(equals + 1);
        if (name.empty() || oldText.empty() || newText.empty()) {
            return true;
        }
        std::string result;
        result.reserve(size);
        std::size_t from = 0;
        for (std::size_t at = entry->value.find(oldText); at != std::string::npos;
             at = entry->value.find(oldText, from)) {
            if (!spend(at - from + newText.size())) {
                return fail(entry->name, true, failure);
            }
            result.append(entry->value, from, at - from);
            result += newText;
            from = at + oldText.size();
        }
        result.append(entry->value, from, std::string::npos);
        substitutions_.push_back(std::move(result));
        text = substitutions_.back().data();
        size = substitutions_.back().size();
    }
    if (size == 0) {
        return true;
    }
    if (!spend(size)) {
        return fail(entry->name, true, failure);
    }
    if (nesting + 1 > kMaxNesting) {
        return fail(entry->name, false, failure);
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
        std::string body;
        readBody(body);
        if (!replace(body, nesting, failure)) {
            return false;
        }
    }
}

} // namespace

bool MacroTable::expandMacros(std::string& line, ExpansionFailure* failure) const {
    if (line.find("$(") == std::string::npos) {
        return true;
    }
    const std::string source = std::move(line);
    line.clear();
    line.reserve(source.size());
    Expansion expansion(*this, source, line);
    return expansion.run(failure);
}
