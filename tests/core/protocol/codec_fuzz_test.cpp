// Random input to the decoders: a garbled line must never crash or read out of bounds. Run under
// ./test.sh --sanitize to have AddressSanitizer and UndefinedBehaviorSanitizer watch it.
#include <gtest/gtest.h>

#include <random>

#include "core/protocol/frame_codec.h"
#include "core/protocol/model_formatting.h"
#include "core/protocol/my_converter.h"

namespace varda {
namespace {

class AnyModel : public ModelFormatting {
  public:
    bool decodes_measured_values() const override { return true; }
    std::string FormatFloat(float value) const override { return std::to_string(value); }
};

Bytes random_bytes(std::mt19937& rng, std::size_t max_size) {
    std::uniform_int_distribution<std::size_t> size(0, max_size);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes out(size(rng));
    for (auto& b : out)
        b = static_cast<std::uint8_t>(byte(rng));
    return out;
}

TEST(CodecFuzz, ParseReplyNeverMisbehaves) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> nibble_char('F', 'W');  // mostly valid, sometimes just outside
    for (int i = 0; i < 20000; ++i) {
        std::string reply;
        if (i % 2) {
            const Bytes raw = random_bytes(rng, 40);
            reply.assign(raw.begin(), raw.end());
        } else {
            reply = "#";
            const std::size_t length = static_cast<std::size_t>(i % 33);
            for (std::size_t k = 0; k < length; ++k)
                reply.push_back(static_cast<char>(nibble_char(rng)));
            reply.push_back('\r');
        }
        const auto out = parse_reply(reply, 0x9F62);
        if (out.kind != ReplyOutcome::Kind::Rejected) {
            EXPECT_LE(out.data.size(), 15u);
        } else {
            EXPECT_FALSE(out.message.empty());
        }
    }
}

TEST(CodecFuzz, SwitchOverChecksNeverMisbehave) {
    std::mt19937 rng(99);
    for (int mode = 1; mode <= 3; ++mode) {
        const auto m = static_cast<SwitchOverMode>(mode);
        const Bytes payload = switch_over_payload(m);
        for (int i = 0; i < 5000; ++i) {
            const Bytes raw = random_bytes(rng, 20);
            const int r = static_cast<int>(
                check_switch_over_reply(m, std::string(raw.begin(), raw.end()), 16, payload));
            EXPECT_TRUE(r == 0 || (r >= 4 && r <= 6));
        }
    }
}

TEST(CodecFuzz, ConvertFromDataNeverMisbehaves) {
    AnyModel model;
    std::mt19937 rng(42);
    const char* types[] = {"STORED_DOT", "float", "int",  "int16", "sint",  "sint16", "CLK_frm",
                           "string",     "ASCI",  "name", "void",  "A:B:C", "unknown"};
    const char* names[] = {"x", "r.oe", "dev", "ver", "APLY", "bPS", "PrtY", "Sbit", "Addr", "rEAd"};
    for (const char* type : types) {
        for (const char* name : names) {
            MyConverter c(name);
            c.set_data_type(type);
            for (int i = 0; i < 300; ++i) {
                const Bytes data = random_bytes(rng, 15);
                const int r = static_cast<int>(c.ConvertFromData(data, &model));
                EXPECT_GE(r, -1);
                EXPECT_LE(r, 1);
                EXPECT_LE(c.value_text().size(), MyConverter::kMaxValueText);
                // Whatever was decoded must encode without harm too.
                Bytes back;
                const auto w = c.ConvertToData(back);
                EXPECT_LE(back.size(), 15u);
                if (w != MyConverter::EncodeResult::Encoded) {
                    EXPECT_TRUE(back.empty());
                }
            }
        }
    }
}

}  // namespace
}  // namespace varda
