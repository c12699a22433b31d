#include "preprocess/Value.h"

#include <utility>

BooleanValue::BooleanValue(bool truth) : Value(ValueKind::Boolean), byte_(truth ? 1 : 0) {}

const char* BooleanValue::valueBytes() const {
    return &byte_;
}

StringValue::StringValue(std::string text) : Value(ValueKind::String), text_(std::move(text)) {}

const char* StringValue::valueBytes() const {
    return text_.c_str();
}
