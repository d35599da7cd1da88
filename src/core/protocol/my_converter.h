#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocol/model_formatting.h"

namespace varda {

// The baud rates a module can be set to, in the order of the codes its "bPS" travels as.
std::span<const int> module_baud_rates();

// Translates between a parameter's value text and the data bytes of a Ravelin frame, by data type text
// and, for a few parameters, by network name.
class MyConverter {
  public:
    static constexpr std::size_t kMaxValueText = 511;

    explicit MyConverter(std::string network_name = {});
    MyConverter(const MyConverter&) = default;
    MyConverter& operator=(const MyConverter&) = default;
    virtual ~MyConverter() = default;

    // Replaces the value text (kept to kMaxValueText bytes, never cutting a UTF-8 character). Returns 1.
    virtual int SetValueText(std::string text);

    // What ConvertToData did.
    enum class EncodeResult {
        Encoded = 1,
        NotEncodable = 0,  // the value cannot be encoded
        NoEncoder = -1,    // the parameter has no encoder, or the name/time text is invalid
    };
    // What ConvertFromData did.
    enum class DecodeResult {
        Decoded = 1,
        FailureShown = -1,  // decoded into a failure text shown as the value (wrong length, invalid float,
                            // invalid name code)
        Undecodable = 0,    // the value text is unchanged
    };

    // Value text -> data bytes (at most 15); `data` is empty on every failure.
    EncodeResult ConvertToData(std::vector<std::uint8_t>& data) const;

    // Data bytes -> value text. `model` is the model object of the tree the value belongs to (null: none,
    // as in a probe).
    DecodeResult ConvertFromData(std::span<const std::uint8_t> data, const ModelFormatting* model = nullptr);

    // Whether a reply of n data bytes can carry a value of this type. A reply of another length answers
    // another question or was cut short: it must fail, never be read as a plausible number.
    bool reply_length_fits(std::size_t n, const ModelFormatting* model = nullptr) const;

    // Enumeration item k as written in the type text, "no data" past the list, "" for negative k;
    // for a type that is not a list, k in decimal.
    std::string item_text(int k) const;
    // Index of the first enumeration item equal to the text without regard to case.
    std::optional<int> item_index(std::string_view text) const;

    const std::string& network_name() const { return network_name_; }
    void set_network_name(std::string name) { network_name_ = std::move(name); }
    const std::string& value_text() const { return value_text_; }
    const std::string& data_type() const { return data_type_; }
    void set_data_type(std::string type) { data_type_ = std::move(type); }
    int decimals() const { return decimals_; }
    void set_decimals(int decimals) { decimals_ = decimals; }
    double maximum() const { return maximum_; }
    double minimum() const { return minimum_; }
    void set_limits(double minimum, double maximum) {
        minimum_ = minimum;
        maximum_ = maximum;
    }
    bool has_limits() const { return minimum_ != 0.0 || maximum_ != 0.0; }
    // The last value decoded by a "float" parameter.
    std::optional<float> cached_float() const { return cached_float_; }

    // The number a value text stands for, read one way for what may be typed (Parameter::AcceptValue)
    // and for what is encoded, so that what is accepted is what is sent.
    // "float", "stored_dot": the real number the text starts with, "," taken as ".", when finite.
    static std::optional<float> real_value(std::string_view text);
    // "int", "int16": the whole text (blanks before it allowed) as a real number that is whole within
    // 0.00001 and lies in whole_range(); `read` is the number as written, `value` the whole number.
    struct WholeValue {
        double read;
        long value;
    };
    std::optional<WholeValue> whole_value(std::string_view text) const;
    // The whole numbers the type carries in its 16 bits: "int" is read back unsigned, "int16" is
    // signed by its name yet read back unsigned too.
    struct WholeRange {
        long minimum;
        long maximum;
    };
    WholeRange whole_range() const;
    // Whether ConvertToData would encode this text as the parameter's value.
    bool encodes(std::string_view text) const;
    // Two value texts hold the same value when they encode to the same bytes ("2", "2.000" and "2e0" of a
    // float); texts that do not encode (module texts, "no data") only when they are the same text.
    bool same_value(std::string_view a, std::string_view b) const;
    // The text a read shows for the bytes this text encodes to ("2" of a float reads "2.000", "none" of a
    // list "None"); the text itself when it does not encode or its bytes do not decode.
    std::string read_form(std::string_view text) const;

    // The type name: the first ":"-separated item of the data type text.
    std::string_view type_name() const;
    // Whether the type name is the given type, without regard to case.
    bool is_type(std::string_view type) const;

  protected:
    std::string network_name_;
    std::string value_text_;
    std::string data_type_ = "unknown";
    int decimals_ = 0;
    double maximum_ = 0.0;
    double minimum_ = 0.0;

  private:
    std::optional<float> cached_float_;
};

}  // namespace varda
