#include "rules/depfiles/JsonReader.h"

#include <algorithm>

namespace {

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xe0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool JsonReader::read(std::string_view text, JsonValue& value, std::string& reason) {
    JsonReader reader(text);
    reader.skipBlanks();
    if (!reader.readValue(value, 0)) {
        reason = reader.reason_;
        return false;
    }
    reader.skipBlanks();
    if (!reader.atEnd()) {
        reader.fail("more after the value");
        reason = reader.reason_;
        return false;
    }
    return true;
}

bool JsonReader::readValue(JsonValue& value, int depth) {
    if (atEnd()) {
        return expected("a value");
    }
    switch (text_[pos_]) {
    case '{':
        return readObject(value, depth + 1);
    case '[':
        return readArray(value, depth + 1);
    case '"':
        value.kind = JsonValue::Kind::String;
        return readString(value.text);
    case 't':
        value.kind = JsonValue::Kind::True;
        return readWord("true");
    case 'f':
        value.kind = JsonValue::Kind::False;
        return readWord("false");
    case 'n':
        value.kind = JsonValue::Kind::Null;
        return readWord("null");
    default:
        return readNumber(value);
    }
}

bool JsonReader::readObject(JsonValue& value, int depth) {
    if (depth > kMaxDepth) {
        return fail("nested more than " + std::to_string(kMaxDepth) + " levels deep");
    }
    value.kind = JsonValue::Kind::Object;
    ++pos_;
    skipBlanks();
    if (!atEnd() && text_[pos_] == '}') {
        ++pos_;
        return true;
    }
    for (;;) {
        if (atEnd() || text_[pos_] != '"') {
            return expected("a member name in quotes");
        }
        value.keys.emplace_back();
        if (!readString(value.keys.back())) {
            return false;
        }
        skipBlanks();
        if (atEnd() || text_[pos_] != ':') {
            return expected("':' after a member name");
        }
        ++pos_;
        skipBlanks();
        value.items.emplace_back();
        if (!readValue(value.items.back(), depth)) {
            return false;
        }
        skipBlanks();
        if (!atEnd() && text_[pos_] == ',') {
            ++pos_;
            skipBlanks();
            continue;
        }
        if (!atEnd() && text_[pos_] == '}') {
            ++pos_;
            return true;
        }
        return expected("',' or '}' in an object");
    }
}

bool JsonReader::readArray(JsonValue& value, int depth) {
    if (depth > kMaxDepth) {
        return fail("nested more than " + std::to_string(kMaxDepth) + " levels deep");
    }
    value.kind = JsonValue::Kind::Array;
    ++pos_;
    skipBlanks();
    if (!atEnd() && text_[pos_] == ']') {
        ++pos_;
        return true;
    }
    for (;;) {
        value.items.emplace_back();
        if (!readValue(value.items.back(), depth)) {
            return false;
        }
        skipBlanks();
        if (!atEnd() && text_[pos_] == ',') {
            ++pos_;
            skipBlanks();
            continue;
        }
        if (!atEnd() && text_[pos_] == ']') {
            ++pos_;
            return true;
        }
        return expected("',' or ']' in an array");
    }
}

// Bytes above 127 are taken as they stand: names are byte strings.
bool JsonReader::readString(std::string& out) {
    ++pos_;
    for (;;) {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != '"' && text_[pos_] != '\\' &&
               static_cast<unsigned char>(text_[pos_]) >= 0x20) {
            ++pos_;
        }
        out.append(text_.data() + start, pos_ - start);
        if (atEnd()) {
            return expected("the '\"' that ends a string");
        }
        const char c = text_[pos_];
        if (c == '"') {
            ++pos_;
            return true;
        }
        if (c != '\\') {
            return fail("a control character in a string");
        }
        if (!readEscape(out)) {
            return false;
        }
    }
}

bool JsonReader::readEscape(std::string& out) {
    ++pos_;
    if (atEnd()) {
        return expected("an escape after '\\'");
    }
    const char c = text_[pos_++];
    switch (c) {
    case '"':
    case '\\':
    case '/':
        out += c;
        return true;
    case 'b':
        out += '\b';
        return true;
    case 'f':
        out += '\f';
        return true;
    case 'n':
        out += '\n';
        return true;
    case 'r':
        out += '\r';
        return true;
    case 't':
        out += '\t';
        return true;
    case 'u':
        break;
    default:
        --pos_;
        return expected("an escape after '\\'");
    }
    std::uint32_t code;
    if (!readHexQuad(code)) {
        return false;
    }
    if (code >= 0xdc00 && code <= 0xdfff) {
        return fail("a low surrogate without a high one");
    }
    if (code >= 0xd800 && code <= 0xdbff) {
        std::uint32_t low;
        if (text_.substr(pos_, 2) != "\\u") {
            return fail("a high surrogate without a low one");
        }
        pos_ += 2;
        if (!readHexQuad(low)) {
            return false;
        }
        if (low < 0xdc00 || low > 0xdfff) {
            return fail("a high surrogate without a low one");
        }
        code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
    }
    appendUtf8(out, code);
    return true;
}

bool JsonReader::readHexQuad(std::uint32_t& code) {
    code = 0;
    for (int i = 0; i < 4; ++i, ++pos_) {
        const char c = atEnd() ? '\0' : text_[pos_];
        std::uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return expected("four hexadecimal digits after '\\u'");
        }
        code = code * 16 + digit;
    }
    return true;
}

// Kept as written: the reader's callers want no arithmetic on numbers.
bool JsonReader::readNumber(JsonValue& value) {
    const std::size_t start = pos_;
    if (!atEnd() && text_[pos_] == '-') {
        ++pos_;
    }
    if (!atEnd() && text_[pos_] == '0') {
        ++pos_;
    } else if (!readDigits()) {
        pos_ = start;
        return expected("a value");
    }
    if (!atEnd() && text_[pos_] == '.') {
        ++pos_;
        if (!readDigits()) {
            return expected("digits after '.'");
        }
    }
    if (!atEnd() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
        ++pos_;
        if (!atEnd() && (text_[pos_] == '+' || text_[pos_] == '-')) {
            ++pos_;
        }
        if (!readDigits()) {
            return expected("digits in an exponent");
        }
    }
    value.kind = JsonValue::Kind::Number;
    value.text.assign(text_.data() + start, pos_ - start);
    return true;
}

bool JsonReader::readDigits() {
    const std::size_t start = pos_;
    while (!atEnd() && isDigit(text_[pos_])) {
        ++pos_;
    }
    return pos_ > start;
}

bool JsonReader::readWord(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) {
        return expected("a value");
    }
    pos_ += word.size();
    return true;
}

void JsonReader::skipBlanks() {
    while (!atEnd()) {
        const char c = text_[pos_];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            return;
        }
        ++pos_;
    }
}

bool JsonReader::expected(const char* what) {
    if (atEnd()) {
        return fail(std::string("the text ends where it needs ") + what);
    }
    return fail(std::string("expected ") + what);
}

bool JsonReader::fail(std::string_view what) {
    const std::size_t at = std::min(pos_, text_.size());
    const auto line = 1 + std::count(text_.begin(), text_.begin() + at, '\n');
    reason_ = "line " + std::to_string(line) + ": ";
    reason_ += what;
    return false;
}
