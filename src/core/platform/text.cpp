#include "core/platform/text.h"

#include <cstring>

#include <algorithm>
#include <array>
#include <cstdint>

namespace varda::platform {

namespace {

// Marks a byte that does not start a well-formed UTF-8 sequence.
constexpr char32_t kInvalid = 0xFFFFFFFF;

// Windows-1251 bytes 0x80..0xBF. 0x98 is unassigned in the code page. 0xC0..0xFF are А..я, U+0410..U+044F.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
};

char32_t cp1251_char(unsigned char b) {
    if (b < 0x80) return b;
    if (b >= 0xC0) return 0x0410 + (b - 0xC0);
    return kHigh[b - 0x80];
}

struct Reverse {
    char16_t code;
    unsigned char byte;
};

// kHigh inverted and sorted by code point, for encoding.
constexpr auto kReverse = [] {
    std::array<Reverse, 63> r{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] != 0xFFFD) r[n++] = {kHigh[i], static_cast<unsigned char>(0x80 + i)};
    }
    std::sort(r.begin(), r.end(), [](Reverse a, Reverse b) { return a.code < b.code; });
    return r;
}();
static_assert(std::adjacent_find(kReverse.begin(), kReverse.end(),
                                 [](Reverse a, Reverse b) { return a.code >= b.code; }) == kReverse.end(),
              "every character of the code page has exactly one byte");

// The byte for a code point, or '?' when the code page lacks it.
char cp1251_byte(char32_t c) {
    if (c < 0x80) return static_cast<char>(c);
    if (c >= 0x0410 && c <= 0x044F) return static_cast<char>(0xC0 + (c - 0x0410));
    const auto it = std::lower_bound(kReverse.begin(), kReverse.end(), c,
                                     [](Reverse r, char32_t v) { return r.code < v; });
    if (it != kReverse.end() && it->code == c) return static_cast<char>(it->byte);
    return '?';
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes the sequence at s[pos] and advances pos past it. Overlong forms, surrogates and values above
// U+10FFFF are malformed. A malformed sequence yields kInvalid and is skipped as its longest well-formed
// prefix (at least one byte), so one bad sequence becomes one replacement.
char32_t next_char(std::string_view s, std::size_t& pos) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    std::size_t len;
    char32_t c;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        c = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;  // overlong
        if (b0 == 0xED) hi = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        c = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;  // overlong
        if (b0 == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
        ++pos;
        return kInvalid;
    }
    for (std::size_t i = 1; i < len; ++i) {
        if (pos + i >= s.size()) {
            pos += i;
            return kInvalid;
        }
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if (b < lo || b > hi) {
            pos += i;
            return kInvalid;
        }
        lo = 0x80;
        hi = 0xBF;
        c = (c << 6) | (b & 0x3F);
    }
    pos += len;
    return c;
}

char ascii_upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Cyrillic pairs: U+0400..U+040F with U+0450..U+045F (Ё, Ђ, Є, І, Ў and the rest), U+0410..U+042F with
// U+0430..U+044F (А..Я), and Ґ U+0490 with ґ U+0491.
char32_t upper(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    if (c >= 0x0430 && c <= 0x044F) return c - 0x20;
    if (c >= 0x0450 && c <= 0x045F) return c - 0x50;
    if (c == 0x0491) return 0x0490;
    return c;
}

char32_t lower(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20;
    if (c >= 0x0400 && c <= 0x040F) return c + 0x50;
    if (c == 0x0490) return 0x0491;
    return c;
}

bool is_ascii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Applies a case mapping to the characters; bytes of malformed sequences are copied unchanged.
template <typename Map>
std::string map_case(std::string_view s, Map map) {
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    while (pos < s.size()) {
        const std::size_t from = pos;
        const char32_t c = next_char(s, pos);
        if (c == kInvalid) {
            out.append(s.substr(from, pos - from));
        } else {
            append_utf8(out, map(c));
        }
    }
    return out;
}

std::string ascii_map(std::string_view s, char (*map)(char)) {
    std::string out(s);
    for (char& c : out)
        c = map(c);
    return out;
}

// Length of the common prefix that compares equal without case, as long as both sides stay ASCII.
// Every ASCII byte is a whole character, so the rest of both texts starts on a character boundary.
std::size_t ascii_equal_prefix(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca >= 0x80 || cb >= 0x80 || ascii_upper(a[i]) != ascii_upper(b[i])) break;
        ++i;
    }
    return i;
}

}  // namespace

std::string cp1251_to_utf8(std::string_view cp1251) {
    // Every byte becomes at most three UTF-8 bytes: write into a buffer of that size, then trim.
    std::string out(cp1251.size() * 3, '\0');
    char* to = out.data();
    const char* from = cp1251.data();
    const char* const end = from + cp1251.size();
    while (from < end) {
        // Runs of plain ASCII (most of a description text) are copied as they are.
        const char* run = from;
        while (run < end && static_cast<unsigned char>(*run) < 0x80)
            ++run;
        std::memcpy(to, from, static_cast<std::size_t>(run - from));
        to += run - from;
        from = run;
        if (from == end) break;
        std::string piece;
        append_utf8(piece, cp1251_char(static_cast<unsigned char>(*from++)));
        std::memcpy(to, piece.data(), piece.size());
        to += piece.size();
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
    return out;
}

std::string utf8_to_cp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t c = next_char(utf8, pos);
        out += c == kInvalid ? '?' : cp1251_byte(c);
    }
    return out;
}

bool cp1251_holds(std::string_view utf8) {
    return cp1251_to_utf8(utf8_to_cp1251(utf8)) == utf8;
}

std::string to_upper(std::string_view utf8) {
    if (is_ascii(utf8)) return ascii_map(utf8, ascii_upper);
    return map_case(utf8, upper);
}

std::string to_lower(std::string_view utf8) {
    if (is_ascii(utf8)) return ascii_map(utf8, ascii_lower);
    return map_case(utf8, lower);
}

bool iequals(std::string_view a, std::string_view b) {
    // Both cases of every letter handled here take the same number of UTF-8 bytes.
    if (a.size() != b.size()) return false;
    const std::size_t i = ascii_equal_prefix(a, b);
    if (i == a.size()) return true;
    // Two ASCII characters that differ in more than case settle it.
    if (static_cast<unsigned char>(a[i]) < 0x80 && static_cast<unsigned char>(b[i]) < 0x80) return false;
    a.remove_prefix(i);
    b.remove_prefix(i);
    std::size_t pa = 0, pb = 0;
    while (pa < a.size() && pb < b.size()) {
        const std::size_t fa = pa, fb = pb;
        const char32_t ca = next_char(a, pa);
        const char32_t cb = next_char(b, pb);
        if (ca == kInvalid || cb == kInvalid) {
            // Malformed bytes only match the very same bytes.
            if (a.substr(fa, pa - fa) != b.substr(fb, pb - fb)) return false;
        } else if (upper(ca) != upper(cb)) {
            return false;
        }
    }
    return pa == a.size() && pb == b.size();
}

std::string underscores_to_spaces(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '_') c = ' ';
    return out;
}

int icompare(std::string_view a, std::string_view b) {
    const std::size_t i = ascii_equal_prefix(a, b);
    a.remove_prefix(i);
    b.remove_prefix(i);
    if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : a.empty() ? -1 : 1;
    if (static_cast<unsigned char>(a[0]) < 0x80 && static_cast<unsigned char>(b[0]) < 0x80) {
        // Two ASCII characters that differ even without case decide on their own.
        return ascii_upper(a[0]) < ascii_upper(b[0]) ? -1 : 1;
    }
    const int r = to_upper(a).compare(to_upper(b));
    return (r > 0) - (r < 0);
}

}  // namespace varda::platform
