#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varda {

// What a data type text says a value is. The first ":"-separated item names the type (any case); a text
// with ":" whose first item names none is a list of value names, item k travelling as code k.
enum class ValueKind {
    StoredDot,  // "STORED_DOT"
    Float,
    Int,
    Int16,
    Sint,
    Sint16,
    ClkFrm,  // "CLK_frm"
    String,
    Asci,  // "ASCI"
    Name,
    Void,
    Enumeration,
    Unknown  // a single name that is no type ("unknown", "DEC_dot", ""): nothing encodes or decodes
};

// A data type text parsed once: every place that needs to know what a type is asks here.
//
// A list item that is empty ("a::b", a leading or trailing ":") is a gap: it keeps its code, so the items
// after it keep theirs, but it has no name: no text matches it, it is never offered, and a module's answer
// with its code cannot be decoded.
class ValueType {
  public:
    explicit ValueType(std::string_view type_text = "unknown");
    // The text as a list of names whatever its first item says, one name without ":" included (the serial
    // ports offered for "Port").
    static ValueType list(std::string_view names);

    const std::string& text() const { return text_; }
    ValueKind kind() const { return kind_; }
    // The first ":"-separated item as written: the type name of a type that is not a list.
    std::string_view name() const;

    bool is_enumeration() const { return kind_ == ValueKind::Enumeration; }
    // "float", "stored_dot": typed as a real number.
    bool is_real() const { return kind_ == ValueKind::Float || kind_ == ValueKind::StoredDot; }
    // "int", "int16": typed as a whole number.
    bool is_whole() const { return kind_ == ValueKind::Int || kind_ == ValueKind::Int16; }
    // Edited as a number in a box: the real and whole types and "CLK_frm".
    bool is_number() const { return is_real() || is_whole() || kind_ == ValueKind::ClkFrm; }
    // The whole numbers "int" and "int16" carry in their 16 bits: "int" is read back unsigned, "int16" is
    // signed by its name yet read back unsigned too.
    struct WholeRange {
        long minimum;
        long maximum;
    };
    WholeRange whole_range() const;

    // Decimal places a description writes after a numeric type name: "float:2" has 2. Only "1", "2" or
    // "3" alone after "int", "int16", "CLK_frm", "stored_dot" or "float" count; otherwise 0.
    int decimals() const;
    // The text without those decimal places ("float:2" -> "float"); the whole text when it has none.
    std::string_view base_text() const;

    // A list's items as written ("_" kept), "" for a gap; no items for a type that is not a list.
    const std::vector<std::string>& items() const { return items_; }
    // The code of the first item the text names: "_" and space alike, any case; never a gap.
    std::optional<int> code_of(std::string_view text) const;

    // Items carrying this mark in their name are values a user is not offered.
    static constexpr std::string_view kHiddenMark = "<hide>";
    struct Choice {
        int code;
        std::string written;  // as the type text writes it
        std::string shown;    // "_" shown as a space
    };
    // The items a user may choose, in code order: neither gaps nor hidden items.
    std::vector<Choice> choices() const;

  private:
    std::string text_;
    ValueKind kind_ = ValueKind::Unknown;
    std::vector<std::string> items_;
};

}  // namespace varda
