#include "rules/depfiles/MakeDependencyParser.h"
#include "rules/depfiles/DependencyNames.h"
#include "text/Blanks.h"

#include <array>
#include <cstddef>

namespace {

// Bytes that end a run of plain name bytes.
constexpr std::array<bool, 256> makeSpecial() {
    std::array<bool, 256> special{};
    for (const unsigned char c : {' ', '\t', '\r', '\n', '\\', '$', '#', ':', '\0'}) {
        special[c] = true;
    }
    return special;
}
constexpr std::array<bool, 256> kSpecial = makeSpecial();

// A carriage return before a line feed is a blank here: Windows' line ends.
bool isBlankOrReturn(char c) {
    return isBlank(c) || c == '\r';
}

class Scanner {
  public:
    Scanner(std::string_view text, DependencyNames& names, std::string& reason)
        : text_(text), names_(names), reason_(reason) {}

    bool run() {
        const std::size_t size = text_.size();
        while (pos_ < size) {
            const char c = text_[pos_];
            if (!kSpecial[static_cast<unsigned char>(c)]) {
                std::size_t end = pos_ + 1;
                while (end < size && !kSpecial[static_cast<unsigned char>(text_[end])]) {
                    ++end;
                }
                word_.append(text_.data() + pos_, end - pos_);
                pos_ = end;
                continue;
            }
            switch (c) {
            case ' ':
            case '\t':
            case '\r':
                endWord();
                ++pos_;
                break;
            case '\n':
                endWord();
                if (!endRule()) {
                    return false;
                }
                ++line_;
                ++pos_;
                break;
            case '\\':
                readBackslash();
                break;
            case '$':
                // "$$" is a dollar sign; a lone one stands for itself.
                word_ += '$';
                pos_ += at(pos_ + 1) == '$' ? 2 : 1;
                break;
            case '#':
                endWord();
                pos_ = text_.find('\n', pos_);
                if (pos_ == std::string_view::npos) {
                    pos_ = size;
                }
                break;
            case ':':
                if (!readColon()) {
                    return false;
                }
                break;
            default:
                return fail("a zero byte");
            }
        }
        endWord();
        return endRule();
    }

  private:
    // The byte at i, or a zero byte past the end (which the text cannot
    // hold where this is asked, since zero bytes fail at once).
    char at(std::size_t i) const { return i < text_.size() ? text_[i] : '\0'; }

    // The length of a line end at i ("\n" or "\r\n"), or 0.
    std::size_t lineEndAt(std::size_t i) const {
        if (at(i) == '\n') {
            return 1;
        }
        return at(i) == '\r' && at(i + 1) == '\n' ? 2 : 0;
    }

    // A continuation, or a backslash at the very end, separates words; the
    // escapes give a blank or "#"; any other backslash is part of the name,
    // as in the Windows path c:\x\y.h.
    void readBackslash() {
        const std::size_t next = pos_ + 1;
        if (next == text_.size()) {
            endWord();
            pos_ = next;
            return;
        }
        if (const std::size_t end = lineEndAt(next)) {
            endWord();
            ++line_;
            pos_ = next + end;
            return;
        }
        const char c = text_[next];
        if (c == ' ' || c == '\t' || c == '#') {
            word_ += c;
            pos_ = next + 1;
            return;
        }
        word_ += '\\';
        pos_ = next;
    }

    // Only a colon before a blank, a line end, a continuation or the end
    // separates targets from prerequisites: in C:/x.h and c:\x.h it is part
    // of the name.
    bool readColon() {
        const std::size_t next = pos_ + 1;
        const bool separates =
            next == text_.size() || isBlankOrReturn(text_[next]) || lineEndAt(next) != 0 ||
            (text_[next] == '\\' && (next + 1 == text_.size() || lineEndAt(next + 1) != 0));
        if (!separates) {
            word_ += ':';
            pos_ = next;
            return true;
        }
        endWord();
        if (separated_) {
            return fail("a second ':' in one rule");
        }
        if (targets_ == 0) {
            return fail("a rule without a target");
        }
        separated_ = true;
        pos_ = next;
        return true;
    }

    void endWord() {
        if (word_.empty()) {
            return;
        }
        if (separated_) {
            names_.add(word_);
        } else if (targets_++ == 0) {
            ruleLine_ = line_;
        }
        word_.clear();
    }

    // At the end of a logical line: words there must have made a rule.
    bool endRule() {
        if (targets_ > 0 && !separated_) {
            line_ = ruleLine_;
            return fail("not a rule: no ':' after the targets");
        }
        targets_ = 0;
        separated_ = false;
        return true;
    }

    bool fail(const char* what) {
        reason_ = "line " + std::to_string(line_) + ": " + what;
        return false;
    }

    std::string_view text_;
    DependencyNames& names_;
    std::string& reason_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    std::size_t ruleLine_ = 1;
    std::size_t targets_ = 0;
    bool separated_ = false;
    std::string word_;
};

} // namespace

bool MakeDependencyParser::parse(std::string_view text, DependencyNames& names,
                                 std::string& reason) {
    return Scanner(text, names, reason).run();
}
