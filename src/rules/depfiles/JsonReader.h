#pragma once

#include "rules/JsonValue.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A strict reader of JSON texts (RFC 8259). Arrays and objects may nest only
// so deep, so that no input can exhaust the stack.
class JsonReader {
  public:
    static constexpr int kMaxDepth = 100;

    // Reads the whole text as one value; false with a one-line reason when it
    // is not one.
    static bool read(std::string_view text, JsonValue& value, std::string& reason);

  private:
    explicit JsonReader(std::string_view text) : text_(text) {}

    bool readValue(JsonValue& value, int depth);
    bool readObject(JsonValue& value, int depth);
    bool readArray(JsonValue& value, int depth);
    bool readString(std::string& out);
    bool readEscape(std::string& out);
    bool readHexQuad(std::uint32_t& code);
    bool readNumber(JsonValue& value);
    bool readDigits();
    bool readWord(std::string_view word);
    void skipBlanks();
    bool atEnd() const { return pos_ >= text_.size(); }
    // A reason naming what the text lacks where the reader stands.
    bool expected(const char* what);
    bool fail(std::string_view what);

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string reason_;
};
