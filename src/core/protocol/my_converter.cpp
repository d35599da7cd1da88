#include "core/protocol/my_converter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/protocol/frame_codec.h"
#include "core/protocol/model_formatting.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

using Type = ValueKind;

constexpr int kMaxEnumerationSearch = 127;  // items searched when encoding an enumeration

bool ascii_iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool name_is_any(std::string_view name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (ascii_iequals(name, n)) return true;
    return false;
}

std::string length_error(std::size_t n) {
    return platform::format_c("Error \"Invalid response length: %i\"", static_cast<int>(n));
}

unsigned first_one_or_two(std::span<const std::uint8_t> d) {
    return d.size() == 1 ? d[0] : (d[0] << 8 | d[1]);
}
unsigned be16(std::span<const std::uint8_t> d) {
    return static_cast<unsigned>(d[0] << 8 | d[1]);
}

// "%.3f" of a value read as single precision.
std::string fixed3(float v) {
    return platform::fixed(v, 3);
}

void push_u16(std::vector<std::uint8_t>& out, unsigned value, bool always_two_bytes) {
    value &= 0xFFFFu;
    if (always_two_bytes || value >= 256) out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

std::string reversed_text(std::span<const std::uint8_t> d) {
    std::string raw;
    for (auto it = d.rbegin(); it != d.rend(); ++it)
        if (*it != 0) raw.push_back(static_cast<char>(*it));  // a module text never carries NUL
    return platform::cp1251_to_utf8(raw);
}

const char* measured_status_text(std::uint8_t status) {
    switch (status) {
        case 0xF0:
            return "Definitive wrong value";
        case 0xF6:
            return "Data not prepared";
        case 0xF7:
            return "Sensor off";
        case 0xF8:
            return "Cold junction temperature too high";
        case 0xF9:
            return "Cold junction temperature too low";
        case 0xFA:
            return "Measured value too high";
        case 0xFB:
            return "Measured value too low";
        case 0xFC:
            return "Shot-cut";
        case 0xFD:
            return "Sensor break";
        case 0xFE:
            return "No connection with ADC";
        case 0xFF:
            return "Wrong calibration factor";
        default:
            return "Calibration factors cannot be transformed";
    }
}

float float_from_be(const std::array<std::uint8_t, 4>& b) {
    const std::uint32_t bits = static_cast<std::uint32_t>(b[0]) << 24 |
                               static_cast<std::uint32_t>(b[1]) << 16 |
                               static_cast<std::uint32_t>(b[2]) << 8 | b[3];
    return std::bit_cast<float>(bits);
}

// Decimal places chosen automatically: as many as the value shows, at most three.
int automatic_decimals(float a) {
    auto digit_at = [a](double scale) {
        return std::fmod(std::floor(static_cast<double>(a * static_cast<float>(scale)) + 0.5), 10.0) != 0.0;
    };
    if (digit_at(1000)) return 3;
    if (digit_at(100)) return 2;
    if (digit_at(10)) return 1;
    return 0;
}

int encode_stored_dot(float v, int decimals, std::vector<std::uint8_t>& out) {
    const bool negative = v < 0;
    const float a = std::fabs(v);
    int d = decimals == 0 ? automatic_decimals(a) : decimals;
    d = std::clamp(d, 0, 3);
    float scaled = a;
    for (int i = 0; i < d; ++i)
        scaled *= 10.0f;
    scaled += 0.0001f;
    // The mantissa has 28 bits; a larger one would spill into the sign and decimal-point bits.
    if (!(scaled < 268435456.0f)) return 0;
    const auto m = static_cast<std::uint32_t>(scaled);
    const auto head = static_cast<std::uint8_t>((negative ? 0x80 : 0) | d << 4);
    if (m >= (1u << 20)) {
        out = {static_cast<std::uint8_t>(head | m >> 24), static_cast<std::uint8_t>(m >> 16),
               static_cast<std::uint8_t>(m >> 8), static_cast<std::uint8_t>(m)};
    } else if (m >= 4096) {
        out = {static_cast<std::uint8_t>(head | m >> 16), static_cast<std::uint8_t>(m >> 8),
               static_cast<std::uint8_t>(m)};
    } else {
        out = {static_cast<std::uint8_t>(head | m >> 8), static_cast<std::uint8_t>(m)};
    }
    return 1;
}

std::optional<std::string> decode_stored_dot(std::span<const std::uint8_t> d) {
    if (d.empty() || d.size() > 8) return std::nullopt;
    const int decimals = (d[0] >> 4) & 0x07;
    const bool negative = (d[0] & 0x80) != 0;
    std::uint64_t m = d[0] & 0x0F;
    for (std::size_t i = 1; i < d.size(); ++i)
        m = m << 8 | d[i];
    float value = static_cast<float>(m);
    for (int i = 0; i < decimals; ++i)
        value /= 10.0f;
    return fixed3(negative ? -value : value);
}

// Minutes:seconds or hours:minutes as a number; a digit right after ":" counts in sixes.
std::optional<unsigned> parse_clock_text(std::string_view text) {
    unsigned value = 0;
    bool after_colon = false;
    for (char c : text) {
        if (c == ':') {
            after_colon = true;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        value = (value * (after_colon ? 6u : 10u) + static_cast<unsigned>(c - '0')) & 0xFFFFu;
        after_colon = false;
    }
    return value;
}

}  // namespace

MyConverter::MyConverter(std::string network_name) : network_name_(std::move(network_name)) {}

int MyConverter::SetValueText(std::string text) {
    if (text.size() > kMaxValueText) {
        std::size_t cut = kMaxValueText;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    value_text_ = std::move(text);
    return 1;
}

std::string_view MyConverter::type_name() const {
    const std::string_view type = data_type_;
    return type.substr(0, type.find(':'));
}

std::span<const int> module_baud_rates() {
    static constexpr int kRates[] = {2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 115200};
    return kRates;
}

bool MyConverter::is_type(std::string_view type) const {
    return ascii_iequals(type_name(), type);
}

std::string MyConverter::item_text(int k) const {
    if (k < 0) return {};
    const ValueType type(data_type_);
    if (!type.is_enumeration()) return std::to_string(k);
    const auto& items = type.items();
    if (static_cast<std::size_t>(k) >= items.size()) return std::string(str(kNoData));
    return items[static_cast<std::size_t>(k)];
}

std::optional<float> MyConverter::real_value(std::string_view text) {
    const auto read = platform::leading_float(text, true);
    if (!read || !std::isfinite(read->value)) return std::nullopt;
    return read->value;
}

MyConverter::WholeRange MyConverter::whole_range() const {
    const auto range = ValueType(data_type_).whole_range();
    return {range.minimum, range.maximum};
}

std::optional<MyConverter::WholeValue> MyConverter::whole_value(std::string_view text) const {
    constexpr double kTolerance = 0.00001;
    const auto read = platform::leading_double(text);
    if (!read || read->length != text.size() || !std::isfinite(read->value)) return std::nullopt;
    const double magnitude = std::fabs(read->value);
    if (magnitude - std::trunc(magnitude) > kTolerance) return std::nullopt;
    const WholeRange range = whole_range();
    const double whole = std::trunc(read->value);
    if (whole < static_cast<double>(range.minimum) || whole > static_cast<double>(range.maximum))
        return std::nullopt;
    return WholeValue{read->value, static_cast<long>(whole)};
}

namespace {
std::optional<std::vector<std::uint8_t>> encoded(const MyConverter& converter, std::string_view text) {
    MyConverter probe(converter);
    probe.SetValueText(std::string(text));
    std::vector<std::uint8_t> data;
    if (probe.ConvertToData(data) != MyConverter::EncodeResult::Encoded) return std::nullopt;
    return data;
}
}  // namespace

bool MyConverter::encodes(std::string_view text) const {
    return encoded(*this, text).has_value();
}

bool MyConverter::same_value(std::string_view a, std::string_view b) const {
    if (a == b) return true;
    const auto bytes_a = encoded(*this, a);
    const auto bytes_b = encoded(*this, b);
    return bytes_a && bytes_b && *bytes_a == *bytes_b;
}

std::string MyConverter::read_form(std::string_view text) const {
    const auto bytes = encoded(*this, text);
    if (!bytes) return std::string(text);
    MyConverter decoder(*this);
    if (decoder.ConvertFromData(*bytes) != DecodeResult::Decoded) return std::string(text);
    return decoder.value_text_;
}

std::optional<int> MyConverter::item_index(std::string_view text) const {
    return ValueType(data_type_).code_of(text);
}

MyConverter::EncodeResult MyConverter::ConvertToData(std::vector<std::uint8_t>& data) const {
    data.clear();
    const std::string_view name = network_name_;
    if (name_is_any(name, {"dev", "ver", "exit"})) return EncodeResult::NoEncoder;
    if (name_is_any(name, {"U.Apl", "UApl"})) return EncodeResult::Encoded;

    const std::string& text = value_text_;
    EncodeResult result = EncodeResult::NotEncodable;
    const ValueType value_type(data_type_);
    const Type type = value_type.kind();
    switch (type) {
        case Type::StoredDot: {
            const auto v = real_value(text);
            result = v && encode_stored_dot(*v, decimals_, data) == 1 ? EncodeResult::Encoded
                                                                      : EncodeResult::NotEncodable;
            break;
        }
        case Type::Float: {
            const auto v = real_value(text);
            if (!v) break;
            const auto bits = std::bit_cast<std::uint32_t>(*v);
            data = {static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
                    static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
            // "r.oe" carries only the upper three bytes.
            if (ascii_iequals(name, "r.oe")) data.pop_back();
            result = EncodeResult::Encoded;
            break;
        }
        case Type::Int:
        case Type::Int16: {
            const auto v = whole_value(text);
            if (!v) break;
            const bool two_bytes =
                type == Type::Int16 || name_is_any(name, {"Addr", "SoUr", "Alr.t", "tHP", "tP.H", "CLB.K"});
            push_u16(data, static_cast<unsigned>(v->value), two_bytes);
            result = EncodeResult::Encoded;
            break;
        }
        case Type::ClkFrm: {
            const auto value = parse_clock_text(text);
            if (!value) return EncodeResult::NoEncoder;
            push_u16(data, *value, name_is_any(name, {"Alr.t", "tHP", "tP.H"}));
            result = EncodeResult::Encoded;
            break;
        }
        case Type::Name: {
            const auto codes = name_to_codes(text);
            if (!codes.codes) return EncodeResult::NoEncoder;
            data.assign(codes.codes->rbegin(), codes.codes->rend());  // last code first
            result = EncodeResult::Encoded;
            break;
        }
        case Type::Void:
            result = EncodeResult::Encoded;
            break;
        case Type::Enumeration:
            if (const auto code = value_type.code_of(text); code && *code < kMaxEnumerationSearch) {
                data = {static_cast<std::uint8_t>(*code)};
                result = EncodeResult::Encoded;
            }
            break;
        case Type::Sint:
        case Type::Sint16:
        case Type::String:
        case Type::Asci:
        case Type::Unknown:
            result = EncodeResult::NotEncodable;
            break;
    }
    if (result != EncodeResult::Encoded) data.clear();
    return result;
}

bool MyConverter::reply_length_fits(std::size_t n, const ModelFormatting* model) const {
    const std::string_view name = network_name_;
    const auto one_or_two = n == 1 || n == 2;
    if (name_is_any(name, {"dev", "ver"})) return true;
    if (ascii_iequals(name, "APLY") && n == 0) return true;  // never answered
    if (name_is_any(name, {"bPS", "PrtY", "Sbit", "Addr"})) return one_or_two;
    if (name_is_any(name, {"rEAd", "iRDt", "iRD"})) {
        if (model && model->decodes_measured_values()) return one_or_two || n == 4 || n == 6;
    }
    switch (ValueType(data_type_).kind()) {
        case Type::Float:
            // A measured value may carry its status behind the four bytes.
            return n >= (ascii_iequals(name, "r.oe") ? 3u : 4u) && n <= 6;
        case Type::Int:
        case Type::Int16:
            // Four bytes only where the range needs them.
            return one_or_two || (n == 4 && (!has_limits() || maximum() > 65535.0 || minimum() < -32768.0));
        case Type::Sint:
        case Type::Sint16:
        case Type::ClkFrm:
            return one_or_two || n == 4;
        case Type::Enumeration:
            return one_or_two;
        case Type::Name:
            return n == 4 || n == 6;
        case Type::StoredDot:
            return n >= 1 && n <= 8;
        case Type::String:
        case Type::Asci:
        case Type::Void:
        case Type::Unknown:
            return true;
    }
    return true;
}

MyConverter::DecodeResult MyConverter::ConvertFromData(std::span<const std::uint8_t> d,
                                                       const ModelFormatting* model) {
    const std::string_view name = network_name_;
    const std::size_t n = d.size();
    auto show = [this](std::string text, DecodeResult result = DecodeResult::Decoded) {
        SetValueText(std::move(text));
        return result;
    };

    if (name_is_any(name, {"dev", "ver"})) return show(reversed_text(d));
    if (ascii_iequals(name, "APLY") && n == 0) return show({});
    const ValueType value_type(data_type_);
    const Type type = value_type.kind();
    if (n == 0) return type == Type::Void ? show({}) : DecodeResult::Undecodable;

    if (ascii_iequals(name, "bPS")) {
        const auto rates = module_baud_rates();
        const unsigned index = first_one_or_two(d);
        return index < rates.size() ? show(std::to_string(rates[index])) : DecodeResult::Undecodable;
    }
    if (ascii_iequals(name, "PrtY")) {
        const unsigned index = first_one_or_two(d);
        return index <= 2 ? show(item_text(static_cast<int>(index))) : DecodeResult::Undecodable;
    }
    if (ascii_iequals(name, "Sbit")) {
        const unsigned index = first_one_or_two(d);
        return index <= 1 ? show(index == 0 ? "1" : "2") : DecodeResult::Undecodable;
    }
    if (ascii_iequals(name, "Addr")) return show(std::to_string(first_one_or_two(d)));
    if (name_is_any(name, {"rEAd", "iRDt", "iRD"})) {
        if (model && model->decodes_measured_values()) {
            if (n == 1) return show(measured_status_text(d[0]));
            if (n == 2 || n == 4) return show(std::to_string(static_cast<std::int16_t>(be16(d))));
            if (n == 6) return show(model->FormatFloat(float_from_be({d[0], d[1], d[2], d[3]})));
            return DecodeResult::Undecodable;
        }
    }

    switch (type) {
        case Type::StoredDot: {
            auto text = decode_stored_dot(d);
            return text ? show(std::move(*text)) : DecodeResult::Undecodable;
        }
        case Type::Float: {
            const std::size_t wanted = ascii_iequals(name, "r.oe") ? 3 : 4;
            std::array<std::uint8_t, 4> b{};  // a short reply is completed with zero bytes
            for (std::size_t i = 0; i < wanted && i < n; ++i)
                b[i] = d[i];
            const bool invalid = (b[0] == 0xFF && b[1] == 0xFF && b[2] == 0xFF && b[3] == 0xFF) ||
                                 (b[0] == 0x7F && (b[1] & 0x80));
            const float value = float_from_be(b);
            cached_float_ = value;
            return invalid ? show("Invalid value", DecodeResult::FailureShown) : show(fixed3(value));
        }
        case Type::Int:
        case Type::Int16:
            if (n == 1) return show(platform::format_c("%u", static_cast<unsigned>(d[0])));
            if (n == 2) return show(platform::format_c("%u", be16(d)));
            if (n == 4)
                return show(
                    platform::format_c("%u", static_cast<unsigned>(be16(d) << 16 | be16(d.subspan(2)))));
            return show(length_error(n), DecodeResult::FailureShown);
        case Type::Sint:
        case Type::Sint16:
            if (n > 4) return show(length_error(n), DecodeResult::FailureShown);
            if (n == 2 || n == 4)
                return show(platform::format_c("%i", static_cast<int>(static_cast<std::int16_t>(be16(d)))));
            return show(platform::format_c("%i", static_cast<int>(static_cast<std::int8_t>(d[0]))));
        case Type::ClkFrm: {
            if (n > 4) return show(length_error(n), DecodeResult::FailureShown);
            const unsigned value = (n == 2 || n == 4) ? be16(d) : d[0];
            return show(platform::format_c("%02u:%02u", value / 60, value % 60));
        }
        case Type::String:
        case Type::Asci:
            return show(reversed_text(d));
        case Type::Name: {
            if (n != 4 && n != 6) return show(length_error(n), DecodeResult::FailureShown);
            const auto name_text = codes_to_name({d[3], d[2], d[1], d[0]});
            return name_text.text ? show(*name_text.text)
                                  : show("Not allowed symbol in network name", DecodeResult::FailureShown);
        }
        case Type::Void:
            return show({});
        case Type::Enumeration: {
            const auto& items = value_type.items();
            const unsigned index = first_one_or_two(d);
            if (index >= items.size() || items[index].empty())
                return DecodeResult::Undecodable;  // past the list or a gap
            return show(platform::underscores_to_spaces(items[index]));
        }
        case Type::Unknown:
            return DecodeResult::Undecodable;
    }
    return DecodeResult::Undecodable;
}

}  // namespace varda
