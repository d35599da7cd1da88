#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Numbers as the program shows, stores and sends them: always with "." as the decimal point. The window
// switches the process to the user's locale, often a comma-decimal one, so nothing here follows it.
namespace varda::platform {

// printf-style formatting under the "C" locale, whatever locale the process has.
std::string format_c(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The value with exactly `decimals` digits after the point, as "%.*f" gives in the "C" locale.
std::string fixed(double value, int decimals);

// The real number at the start of a text, read as strtod reads it in the "C" locale (blanks and a "+"
// before it allowed; no hexadecimal). `decimal_comma` also takes "," as the decimal point, as a
// Russian keyboard types it. `length` counts the characters the number used, blanks included.
template <typename Real>
struct LeadingReal {
    Real value;
    std::size_t length;
};
std::optional<LeadingReal<float>> leading_float(std::string_view text, bool decimal_comma = false);
std::optional<LeadingReal<double>> leading_double(std::string_view text, bool decimal_comma = false);

}  // namespace varda::platform
