#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varda::platform {

struct JsonMember;

// A parsed JSON document: enough for the files the configurator reads (configurations as text).
struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;  // a number as the nearest double
    std::string text;   // a string's UTF-8 text; a number as it is written ("1e10", "-0.50")
    std::vector<JsonValue> items;
    std::vector<JsonMember> members;  // an object's members in the order written

    const JsonValue* find(std::string_view key) const;
};

// A named member of an object: a struct, as a std::pair may not hold the still incomplete JsonValue.
struct JsonMember {
    std::string name;
    JsonValue value;
};

// Nothing, with a reason ("line 3: expected ':'"), for text that is not JSON as RFC 8259 has it: no
// "NaN" or "Infinity", no leading zeros or bare points, only valid UTF-8, no name twice in one object,
// no number beyond a double. A UTF-8 byte order mark before the text is skipped, as editors write one.
std::optional<JsonValue> parse_json(std::string_view text, std::string& error);

// The text as a JSON string literal, quotes included; control characters escaped.
std::string json_quote(std::string_view text);

}  // namespace varda::platform
