#include "core/model/parameter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/protocol/frame_codec.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

constexpr double kFloatTolerance = 0.0009;

bool is_name_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '/' || c == ' ';
}

// A value for "CHAr*" must itself look like a network name: up to four characters, each optionally
// followed by one dot, and nothing after.
bool looks_like_network_name(std::string_view text) {
    if (text.empty()) return false;
    std::size_t i = 0;
    for (int chars = 0; chars < 4 && i < text.size() && is_name_char(text[i]); ++chars) {
        ++i;
        if (i < text.size() && text[i] == '.') ++i;
    }
    return i == text.size();
}

// hours:minutes or minutes:seconds as a number; a ":" followed by a single character counts that digit
// in tens of the sixty base.
std::optional<long> clock_value(std::string_view text) {
    long value = 0;
    long multiplier = 10;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            value = value * multiplier + (c - '0');
            multiplier = 10;
            if (value > 1'000'000'000L) return std::nullopt;  // far beyond any clock value
        } else if (c == ':') {
            multiplier = text.size() - i - 1 >= 2 ? 6 : 60;
        } else {
            return std::nullopt;
        }
    }
    return value;
}

}  // namespace

Parameter::Parameter() : Parameter(std::string{}) {}

Parameter::Parameter(std::string network_name) : MyConverter(std::move(network_name)) {
    Reset();
    description = std::string(str(kUnknownParameter));
}

Parameter::~Parameter() {
    if (output_slot_ && *output_slot_ == this) *output_slot_ = nullptr;
}

void Parameter::Reset() {
    writable = true;
    indexed = false;
    network_index = 0;
    address_offset = 0;
    value_modified = access_modified = user_modified = false;
    SetValueText(std::string(str(kNoData)));
    clear_failure();
    module_value_text.clear();
    module_value_at = {};
    attributes_flag = 0;
    access_attribute = true;
    user_attribute = false;
}

bool Parameter::AcceptValue(std::string_view text, bool full_precision) {
    std::optional<std::string> accepted = AdmittedText(text, full_precision);
    if (!accepted) return false;
    value_modified = true;
    SetValueText(std::move(*accepted));
    return true;
}

std::optional<std::string> Parameter::AdmittedText(std::string_view text, bool full_precision) const {
    std::string accepted(text);

    if (platform::iequals(network_name_, "CHAr*")) {
        if (!looks_like_network_name(text)) return std::nullopt;
    } else if (ValueType(data_type_).is_real()) {
        const auto v = real_value(text);
        if (!v) return std::nullopt;  // nothing numeric to check
        const double value = *v;
        if (has_limits() && (value < minimum_ - kFloatTolerance || value > maximum_ + kFloatTolerance))
            return std::nullopt;
        accepted = platform::fixed(value, full_precision ? 6 : 3);
        if (!encodes(accepted)) return std::nullopt;  // a fixed-point value too large for its format
    } else if (is_type("CLK_frm")) {
        const auto value = clock_value(text);
        if (!value) return std::nullopt;
        if (has_limits() && (*value < minimum_ || *value > maximum_)) return std::nullopt;
    } else if (ValueType(data_type_).is_whole()) {
        const auto v = whole_value(text);
        if (!v) return std::nullopt;
        if (has_limits() && (v->read < minimum_ || v->read > maximum_)) return std::nullopt;
    }
    return accepted;
}

std::optional<std::pair<double, double>> Parameter::AllowedRange() const {
    std::optional<std::pair<double, double>> range;
    if (has_limits()) range.emplace(minimum_, maximum_);
    if (ValueType(data_type_).is_whole()) {
        const auto carried = whole_range();
        const auto low = static_cast<double>(carried.minimum);
        const auto high = static_cast<double>(carried.maximum);
        range = range ? std::pair(std::max(range->first, low), std::min(range->second, high))
                      : std::pair(low, high);
    }
    return range;
}

std::string Parameter::Label() const {
    return indexed ? network_name_ + ":" + std::to_string(network_index) : network_name_;
}

int Parameter::TypeTextId() const {
    if (is_type("float")) return 318;
    if (is_type("int")) return 319;
    if (is_type("int16")) return 467;
    if (is_type("STORED_DOT")) return 468;
    return 0;
}

std::uint16_t Parameter::Hash() const {
    return hash_name(network_name_);
}

bool Parameter::MakeScanner() {
    scanner_ = true;
    address_offset = network_index;
    indexed = false;
    return true;
}

platform::PeriodicTimer* Parameter::timer() {
    if (!timer_ && scanner_) timer_ = std::make_unique<platform::PeriodicTimer>();
    return timer_.get();
}

int Parameter::StartTimer() {
    if (timer_running_) return 1;
    timer_running_ = true;
    if (platform::PeriodicTimer* t = timer()) t->start(period);
    return 0;
}

int Parameter::StopTimer() {
    if (!timer_running_) return 1;
    timer_running_ = false;
    if (timer_) timer_->stop();
    return 0;
}

}  // namespace varda
