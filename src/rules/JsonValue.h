#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One value of a JSON text as JsonReader reads it.
struct JsonValue {
    enum class Kind { Null, False, True, Number, String, Array, Object };

    Kind kind = Kind::Null;
    // A string's bytes in UTF-8, or a number as written.
    std::string text;
    // An array's elements, or an object's member values.
    std::vector<JsonValue> items;
    // An object's member names, one for each item.
    std::vector<std::string> keys;

    // The value of the object's member of that name, the last one where the
    // name repeats; nullptr when there is none or this is no object.
    const JsonValue* member(std::string_view name) const {
        for (std::size_t i = keys.size(); i > 0; --i) {
            if (keys[i - 1] == name) {
                return &items[i - 1];
            }
        }
        return nullptr;
    }
};
