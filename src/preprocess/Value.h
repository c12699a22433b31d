#pragma once

#include <string>

enum class ValueKind { Boolean = 1, String = 2 };

// A result of condition evaluation. Words are strings; only operators make
// booleans, and only a boolean can make a condition true.
class Value {
  public:
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
    virtual ~Value() = default;

    ValueKind kind() const { return kind_; }
    // The value's storage: the truth byte of a boolean, the text of a string.
    virtual const char* valueBytes() const = 0;

  protected:
    explicit Value(ValueKind kind) : kind_(kind) {}

  private:
    ValueKind kind_;
};

class BooleanValue final : public Value {
  public:
    explicit BooleanValue(bool truth);

    const char* valueBytes() const override;

  private:
    char byte_;
};

class StringValue final : public Value {
  public:
    explicit StringValue(std::string text);

    const char* valueBytes() const override;
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};
