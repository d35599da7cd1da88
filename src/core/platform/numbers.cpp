#include "core/platform/numbers.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>

namespace varda::platform {
namespace {

locale_t c_locale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
    return locale;
}

// The calling thread formats under the "C" locale while this lives.
class CLocaleScope {
  public:
    CLocaleScope() : previous_(uselocale(c_locale())) {}
    ~CLocaleScope() { uselocale(previous_); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

  private:
    locale_t previous_;
};

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Real>
std::optional<LeadingReal<Real>> leading_real(std::string_view text, bool decimal_comma) {
    std::size_t start = 0;
    while (start < text.size() && is_blank(text[start]))
        ++start;
    // from_chars takes no "+"; a sign after it is no number either.
    if (start < text.size() && text[start] == '+' && (start + 1 == text.size() || text[start + 1] != '-'))
        ++start;
    std::string number(text.substr(start));
    if (decimal_comma) std::replace(number.begin(), number.end(), ',', '.');
    Real value{};
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc()) return std::nullopt;
    return LeadingReal<Real>{value, start + static_cast<std::size_t>(end - number.data())};
}

}  // namespace

std::string format_c(const char* format, ...) {
    CLocaleScope c_locale_scope;
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (size > 0) {
        out.resize(static_cast<std::size_t>(size));
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}

std::string fixed(double value, int decimals) {
    char buf[400];  // the largest double has 309 digits before the point
    const auto [end, error] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(buf, end) : std::string();
}

std::optional<LeadingReal<float>> leading_float(std::string_view text, bool decimal_comma) {
    return leading_real<float>(text, decimal_comma);
}

std::optional<LeadingReal<double>> leading_double(std::string_view text, bool decimal_comma) {
    return leading_real<double>(text, decimal_comma);
}

}  // namespace varda::platform
