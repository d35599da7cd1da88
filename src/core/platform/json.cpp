#include "core/platform/json.h"

#include <charconv>
#include <utility>

namespace varda::platform {
namespace {

// A recursive-descent reader; nesting is bounded so a hostile file cannot exhaust the stack.
class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<JsonValue> document(std::string& error) {
        auto value = parse_value(0);
        skip_space();
        if (value && pos_ != text_.size()) fail("unexpected text after the end");
        if (!error_.empty()) {
            error = "line " + std::to_string(line_) + ": " + error_;
            return std::nullopt;
        }
        return value;
    }

  private:
    static constexpr int kMaxDepth = 64;

    void fail(std::string why) {
        if (error_.empty()) error_ = std::move(why);
    }
    void skip_space() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r')) {
            if (text_[pos_] == '\n') ++line_;
            ++pos_;
        }
    }
    bool take(char c) {
        skip_space();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool word(std::string_view w) {
        if (text_.substr(pos_, w.size()) != w) return false;
        pos_ += w.size();
        return true;
    }

    std::optional<JsonValue> parse_value(int depth) {
        if (depth > kMaxDepth) {
            fail("nested too deeply");
            return std::nullopt;
        }
        skip_space();
        if (pos_ >= text_.size()) {
            fail("unexpected end");
            return std::nullopt;
        }
        JsonValue v;
        const char c = text_[pos_];
        if (c == '{') {
            ++pos_;
            v.kind = JsonValue::Kind::Object;
            if (take('}')) return v;
            do {
                skip_space();
                auto key = parse_string();
                if (!key) return std::nullopt;
                if (!take(':')) {
                    fail("expected ':'");
                    return std::nullopt;
                }
                // Readers disagree on which of two equal names counts: refuse the guess.
                if (v.find(*key)) {
                    fail("the name \"" + *key + "\" twice in one object");
                    return std::nullopt;
                }
                auto member = parse_value(depth + 1);
                if (!member) return std::nullopt;
                v.members.push_back({std::move(*key), std::move(*member)});
            } while (take(','));
            if (!take('}')) {
                fail("expected ',' or '}'");
                return std::nullopt;
            }
            return v;
        }
        if (c == '[') {
            ++pos_;
            v.kind = JsonValue::Kind::Array;
            if (take(']')) return v;
            do {
                auto item = parse_value(depth + 1);
                if (!item) return std::nullopt;
                v.items.push_back(std::move(*item));
            } while (take(','));
            if (!take(']')) {
                fail("expected ',' or ']'");
                return std::nullopt;
            }
            return v;
        }
        if (c == '"') {
            auto s = parse_string();
            if (!s) return std::nullopt;
            v.kind = JsonValue::Kind::String;
            v.text = std::move(*s);
            return v;
        }
        if (word("true") || word("false")) {
            v.kind = JsonValue::Kind::Bool;
            v.boolean = text_[pos_ - 2] == 'u';  // "tru|e" as against "fals|e"
            return v;
        }
        if (word("null")) return v;
        for (const std::string_view w : {"NaN", "nan", "Infinity", "-Infinity", "inf", "-inf"}) {
            if (text_.substr(pos_, w.size()) == w) {
                fail("NaN and Infinity are no JSON numbers");
                return std::nullopt;
            }
        }
        if (c == '-' || (c >= '0' && c <= '9')) return parse_number();
        fail(c >= 0x20 && c < 0x7F ? "unexpected character '" + std::string(1, c) + "'"
                                   : "unexpected character");
        return std::nullopt;
    }

    std::size_t digits() {
        const std::size_t from = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9')
            ++pos_;
        return pos_ - from;
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?, and nothing else: no "01", ".5", "1." or "+1".
    std::optional<JsonValue> parse_number() {
        const std::size_t start = pos_;
        if (text_[pos_] == '-') ++pos_;
        const std::size_t whole_from = pos_;
        const std::size_t whole = digits();
        if (whole == 0 || (whole > 1 && text_[whole_from] == '0')) {
            fail(whole == 0 ? "a number without digits" : "a number with a leading zero");
            return std::nullopt;
        }
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (digits() == 0) {
                fail("a number without digits after its point");
                return std::nullopt;
            }
        }
        long long exponent = 0;
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            const bool negative = pos_ < text_.size() && text_[pos_] == '-';
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            const std::size_t from = pos_;
            if (digits() == 0) {
                fail("a number without digits in its exponent");
                return std::nullopt;
            }
            for (std::size_t k = from; k < pos_ && exponent < 100000; ++k)
                exponent = exponent * 10 + (text_[k] - '0');
            if (negative) exponent = -exponent;
        }
        JsonValue v;
        v.kind = JsonValue::Kind::Number;
        v.text = std::string(text_.substr(start, pos_ - start));
        const auto [end, ec] = std::from_chars(v.text.data(), v.text.data() + v.text.size(), v.number);
        if (ec == std::errc::result_out_of_range) {
            // Too small for a double is zero; too large is refused rather than taken as some other number.
            const bool tiny =
                (whole == 1 && text_[whole_from] == '0') || static_cast<long long>(whole) + exponent < 0;
            if (!tiny) {
                fail("the number " + v.text + " is beyond the range of a double");
                return std::nullopt;
            }
            v.number = v.text[0] == '-' ? -0.0 : 0.0;
        } else if (ec != std::errc() || end != v.text.data() + v.text.size()) {
            fail("the number " + v.text + " cannot be read");
            return std::nullopt;
        }
        return v;
    }

    // The length of the UTF-8 character at `at` (1 to 4), 0 for a byte that starts none: overlong forms,
    // surrogates and code points past U+10FFFF included.
    std::size_t utf8_length(std::size_t at) const {
        const auto byte = [this](std::size_t k) {
            return k < text_.size() ? static_cast<unsigned char>(text_[k]) : 0u;
        };
        const unsigned lead = byte(at);
        if (lead < 0x80) return 1;
        std::size_t n = 0;
        unsigned low = 0x80, high = 0xBF;  // the second byte's range
        if (lead >= 0xC2 && lead <= 0xDF) {
            n = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            n = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            n = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return 0;
        }
        if (byte(at + 1) < low || byte(at + 1) > high) return 0;
        for (std::size_t k = 2; k < n; ++k)
            if (byte(at + k) < 0x80 || byte(at + k) > 0xBF) return 0;
        return n;
    }

    static void append_utf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::optional<unsigned> hex4() {
        if (pos_ + 4 > text_.size()) return std::nullopt;
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, value, 16);
        if (ec != std::errc() || end != text_.data() + pos_ + 4) return std::nullopt;
        pos_ += 4;
        return value;
    }

    std::optional<std::string> parse_string() {
        if (pos_ >= text_.size() || text_[pos_] != '"') {
            fail("expected a string");
            return std::nullopt;
        }
        ++pos_;
        std::string out;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) {
                fail("a control character inside a string");
                return std::nullopt;
            }
            if (static_cast<unsigned char>(c) >= 0x80) {
                const std::size_t n = utf8_length(pos_ - 1);
                if (n == 0) {
                    fail("a string that is not valid UTF-8");
                    return std::nullopt;
                }
                out.append(text_.substr(pos_ - 1, n));
                pos_ += n - 1;
                continue;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) break;
            const char e = text_[pos_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    auto code = hex4();
                    if (code && *code >= 0xD800 && *code < 0xDC00 && word("\\u")) {
                        const auto low = hex4();
                        if (low && *low >= 0xDC00 && *low < 0xE000)
                            code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
                        else
                            code.reset();
                    }
                    if (!code ||
                        (*code >= 0xD800 && *code < 0xE000)) {  // half a surrogate pair is no character
                        fail("a bad \\u escape");
                        return std::nullopt;
                    }
                    append_utf8(out, *code);
                    break;
                }
                default:
                    fail("a bad escape");
                    return std::nullopt;
            }
        }
        fail("a string without its closing quote");
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    std::string error_;
};

}  // namespace

const JsonValue* JsonValue::find(std::string_view key) const {
    for (const auto& [name, value] : members)
        if (name == key) return &value;
    return nullptr;
}

std::optional<JsonValue> parse_json(std::string_view text, std::string& error) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    return Reader(text).document(error);
}

std::string json_quote(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += "\\u00";
                    out += kHex[(c >> 4) & 0xF];
                    out += kHex[c & 0xF];
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

}  // namespace varda::platform
