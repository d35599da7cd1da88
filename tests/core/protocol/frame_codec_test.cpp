#include "core/protocol/frame_codec.h"

#include <gtest/gtest.h>

namespace varda {
namespace {

Bytes bytes_of(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

// A well-formed reply frame from raw bytes (the checksum is computed here, independently of build_request).
std::string reply_frame(Bytes raw) {
    const auto sum = hash_buffer(raw);
    raw.push_back(static_cast<std::uint8_t>(sum >> 8));
    raw.push_back(static_cast<std::uint8_t>(sum));
    return "#" + encode_buffer(raw) + "\r";
}

TEST(HashName, KnownNames) {
    struct Case {
        const char* name;
        std::uint16_t hash;
    };
    for (const auto& c : {Case{"", 0}, Case{"n.Err", 0x0233}, Case{"APLY", 0x8403}, Case{"INIT", 0x00E9},
                          Case{"Addr", 0x9F62}, Case{"addr", 0x9F62}, Case{"r.oe", 0xE894},
                          Case{"M.s.t.r.", 0x5EA0}, Case{"A.Len", 0x1ED2}, Case{"a.len", 0x1ED2}}) {
        EXPECT_EQ(hash_name(c.name), c.hash) << c.name;
    }
}

TEST(HashName, OnlyFourSignificantCharactersCount) {
    EXPECT_EQ(hash_name("AddrX"), hash_name("Addr"));
    EXPECT_EQ(hash_name("ABCDEFGH"), hash_name("ABCD"));
    // A dot right after the fourth still counts; one after the fifth does not.
    EXPECT_NE(hash_name("ABCD."), hash_name("ABCD"));
    EXPECT_EQ(hash_name("ABCDE."), hash_name("ABCD"));
    // Characters without a code, and a leading dot, are skipped.
    EXPECT_EQ(hash_name("A/ddr"), hash_name("Addr"));
    EXPECT_EQ(hash_name(".Addr"), hash_name("Addr"));
}

TEST(HashBuffer, KnownChecksums) {
    EXPECT_EQ(hash_buffer(bytes_of("abc")), 0x4F8D);
    EXPECT_EQ(hash_buffer({}), 0);
    // Continuing from an initial value equals hashing the whole.
    const Bytes all = bytes_of("abcdef");
    EXPECT_EQ(hash_buffer(std::span(all).subspan(3), hash_buffer(std::span(all).first(3))), hash_buffer(all));
}

TEST(CharacterEncoding, RoundTripAndRejection) {
    const Bytes raw{0x00, 0x0F, 0xF0, 0xFF, 0x10};
    EXPECT_EQ(encode_buffer(raw), "GGGVVGVVHG");
    EXPECT_EQ(decode_buffer("GGGVVGVVHG"), raw);
    for (const char* bad : {"GW", "FG", "gg", "G#", "G\r"})
        EXPECT_FALSE(decode_buffer(bad)) << bad;
}

TEST(BuildRequest, ReadAddrFrame) {
    const std::string frame = build_request(true, hash_name("Addr"), {}, 0, {16, 8});
    EXPECT_EQ(frame, "#HGHGPVMIRPTK\r");
    EXPECT_EQ(decode_buffer(std::string_view(frame).substr(1, 12)),
              (Bytes{0x10, 0x10, 0x9F, 0x62, 0xB9, 0xD4}));
}

TEST(BuildRequest, LengthsAndAddressing) {
    EXPECT_EQ(build_request(true, 0x1234, {}, 0, {}).size(), 14u);
    const Bytes fifteen(15, 0xAA);
    EXPECT_EQ(build_request(false, 0x1234, fifteen, 0, {}).size(), 44u);

    struct Case {
        int base, width, offset;
        bool read;
        std::uint8_t byte0, byte1;
    };
    for (const auto& c : {Case{1000, 11, 0, false, 0x7D, 0x00},  // 1000 = 0x3E8: bits 10..3 0x7D, bits 2..0 0
                          Case{16, 11, -1, true, 0x1F, 0xF0},    // broadcast 255 in 11 bits: 0x1F, bits 7
                          Case{16, 8, -1, false, 0xFF, 0x00},    // broadcast with 8 bits
                          Case{16, 8, 3, true, 0x13, 0x10},      // the parameter's offset adds to the base
                          Case{1001, 11, 0, true, 0x7D, 0x30}}) {
        const auto frame = build_request(c.read, 0, {}, c.offset, {c.base, c.width});
        const auto raw = decode_buffer(std::string_view(frame).substr(1, frame.size() - 2));
        ASSERT_TRUE(raw);
        EXPECT_EQ((*raw)[0], c.byte0) << c.base << "/" << c.offset;
        EXPECT_EQ((*raw)[1], c.byte1) << c.base << "/" << c.offset;
        EXPECT_EQ(hash_buffer(std::span(*raw).first(4)), ((*raw)[4] << 8 | (*raw)[5]));
    }
}

TEST(ParseReply, Outcomes) {
    const auto addr = hash_name("Addr");
    auto ok = parse_reply(reply_frame({0x10, 0x12, 0x9F, 0x62, 0x00, 0x05}), addr);
    EXPECT_EQ(ok.kind, ReplyOutcome::Kind::Accepted);
    EXPECT_EQ(ok.data, (Bytes{0x00, 0x05}));

    auto err = parse_reply(reply_frame({0x10, 0x01, 0x02, 0x33, 0x28}), addr);
    EXPECT_EQ(err.kind, ReplyOutcome::Kind::ErrorReply);
    EXPECT_EQ(err.data, (Bytes{0x28}));

    auto wrong = parse_reply(reply_frame({0x10, 0x00, 0x12, 0x34}), addr);
    EXPECT_EQ(wrong.kind, ReplyOutcome::Kind::Rejected);
    EXPECT_EQ(wrong.message, "Received function code differs from transmitted function code and from n.Err.");
}

TEST(ParseReply, DamagedReplies) {
    const auto addr = hash_name("Addr");
    std::string good = reply_frame({0x10, 0x12, 0x9F, 0x62, 0x00, 0x05});
    std::string bad_sum = good;
    bad_sum[bad_sum.size() - 2] = bad_sum[bad_sum.size() - 2] == 'G' ? 'H' : 'G';
    std::string bad_char = good;
    bad_char[3] = 'Z';
    std::string wrong_length =
        reply_frame({0x10, 0x13, 0x9F, 0x62, 0x00, 0x05});  // claims 3 data bytes, has 2

    struct Case {
        std::string reply;
        ReplyOutcome::Reason reason;
        const char* message;
    };
    for (const auto& c :
         {Case{"", ReplyOutcome::Reason::HeaderLost, "Frame header is lost"},
          Case{"#", ReplyOutcome::Reason::HeaderLost, "Frame header is lost"},
          Case{"X" + good.substr(1), ReplyOutcome::Reason::HeaderLost, "Frame header is lost"},
          Case{bad_sum, ReplyOutcome::Reason::Checksum, "Response sum check error"},
          Case{bad_char, ReplyOutcome::Reason::BadCharacter, "Response sum check error"},
          Case{wrong_length, ReplyOutcome::Reason::BadLength, "Response sum check error"},
          Case{"#GG\r", ReplyOutcome::Reason::BadLength, "Response sum check error"}}) {
        const auto out = parse_reply(c.reply, addr);
        EXPECT_EQ(out.kind, ReplyOutcome::Kind::Rejected) << c.reply;
        EXPECT_EQ(out.reason, c.reason) << c.reply;
        EXPECT_EQ(out.message, c.message) << c.reply;
        EXPECT_TRUE(out.data.empty());
    }
    // An n.Err hash with a wrong checksum is still a checksum failure.
    std::string err = reply_frame({0x10, 0x01, 0x02, 0x33, 0x28});
    err[err.size() - 2] = err[err.size() - 2] == 'G' ? 'H' : 'G';
    EXPECT_EQ(parse_reply(err, addr).reason, ReplyOutcome::Reason::Checksum);
}

// The address a reply carries, 8-bit or 11-bit (bits 7..5 of the length byte), whatever its hash or checksum.
TEST(ReplyAddress, ReadsTheAddressBitsOfAnyFrameWithAHeader) {
    std::string garbled = reply_frame({0x11, 0x02, 0x9F, 0x62, 0x00, 0x05});
    garbled[garbled.size() - 2] = garbled[garbled.size() - 2] == 'G' ? 'H' : 'G';
    struct Case {
        std::string reply;
        int width;
        std::optional<int> address;
    };
    for (const auto& c :
         {Case{reply_frame({0x10, 0x02, 0x9F, 0x62, 0x00, 0x05}), 8, 16},
          Case{reply_frame({0xF7, 0x01, 0x02, 0x33, 0x28}), 8, 247},
          Case{reply_frame({0x7D, 0x62, 0x9F, 0x62, 0x00, 0x05}), 11, 1003},
          Case{reply_frame({0xFF, 0xE0, 0x9F, 0x62}), 11, 2047},
          // The length byte's address bits mean nothing with 8-bit addresses.
          Case{reply_frame({0x7D, 0x62, 0x9F, 0x62, 0x00, 0x05}), 8, 0x7D}, Case{garbled, 8, 17},
          Case{"X" + garbled.substr(1), 8, std::nullopt}, Case{"#HG", 8, std::nullopt},
          Case{"#HZGG\r", 8, std::nullopt}, Case{"", 8, std::nullopt}}) {
        EXPECT_EQ(reply_address(c.reply, c.width), c.address) << c.reply << " " << c.width;
    }
}

TEST(NameCodes, TextToCodesAndBack) {
    const auto ab_c = name_to_codes("ab.c");
    ASSERT_TRUE(ab_c.codes);
    EXPECT_EQ(*ab_c.codes, (NameCodes{20, 23, 24, 78}));
    EXPECT_EQ(codes_to_name(*ab_c.codes).text, "AB.C ");
    EXPECT_EQ(codes_to_name({42, 28, 46, 78}).text, "LEN ");
    EXPECT_EQ(codes_to_name({76, 77, 72, 75}).text, "//.-_.");

    struct Failure {
        const char* text;
        NameCodeFailure failure;
    };
    for (const auto& f : {Failure{"", NameCodeFailure::Empty}, Failure{"ABCDEFGHI", NameCodeFailure::TooLong},
                          Failure{".AB", NameCodeFailure::InvalidCharacter},
                          Failure{"A/B", NameCodeFailure::InvalidCharacter},
                          Failure{"A*", NameCodeFailure::InvalidCharacter}}) {
        const auto r = name_to_codes(f.text);
        EXPECT_FALSE(r.codes) << f.text;
        EXPECT_EQ(r.failure, f.failure) << f.text;
    }
    const auto invalid = codes_to_name({20, 80, 78, 78});
    EXPECT_FALSE(invalid.text);
    EXPECT_EQ(invalid.failure, NameCodeFailure::InvalidCode);
}

TEST(SwitchOver, Frames) {
    EXPECT_EQ(modbus_crc(Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}), 0xCDC5);
    EXPECT_EQ(build_switch_over(SwitchOverMode::ModbusRtu, 16),
              std::string("\x10\x05\xF0\xF0\xFF\x00\xBC\x48", 8));
    EXPECT_EQ(build_switch_over(SwitchOverMode::ModbusAscii, 16), ":1005F0F0FF000C\r\n");
    EXPECT_EQ(build_switch_over(SwitchOverMode::Dcon, 16), "%10KESTBD\r");
    EXPECT_FALSE(build_switch_over(SwitchOverMode::ModbusRtu, 16, 11));
    EXPECT_FALSE(build_switch_over(SwitchOverMode::Ravelin, 16));
}

TEST(SwitchOver, ReplyChecks) {
    const Bytes modbus = switch_over_payload(SwitchOverMode::ModbusRtu);
    const Bytes dcon = switch_over_payload(SwitchOverMode::Dcon);
    const std::string rtu_echo = *build_switch_over(SwitchOverMode::ModbusRtu, 16);
    const std::string ascii_echo = *build_switch_over(SwitchOverMode::ModbusAscii, 16);
    std::string rtu_bad_crc = rtu_echo;
    rtu_bad_crc.back() ^= 1;
    const std::string rtu_other = *build_switch_over(SwitchOverMode::ModbusRtu, 17);

    struct Case {
        SwitchOverMode mode;
        std::string reply;
        int result;
    };
    for (const auto& c :
         {Case{SwitchOverMode::ModbusRtu, rtu_echo, 0}, Case{SwitchOverMode::ModbusRtu, rtu_bad_crc, 4},
          Case{SwitchOverMode::ModbusRtu, rtu_other, 5}, Case{SwitchOverMode::ModbusRtu, "", 6},
          Case{SwitchOverMode::ModbusAscii, ascii_echo, 0},
          Case{SwitchOverMode::ModbusAscii, ":1005F0F0FF001D\r\n", 4},
          Case{SwitchOverMode::ModbusAscii, ":1105F0F0FF000B\r\n", 5},
          Case{SwitchOverMode::ModbusAscii, ":1005F0F0FF0C\r\n", 6},  // a payload byte short
          Case{SwitchOverMode::Dcon, "!1082\r", 0}, Case{SwitchOverMode::Dcon, "!1083\r", 4},
          Case{SwitchOverMode::Dcon, "!1183\r", 5}, Case{SwitchOverMode::Dcon, "?10A0\r", 6}}) {
        // The numbers stay those of the switch-over results.
        EXPECT_EQ(static_cast<int>(check_switch_over_reply(c.mode, c.reply, 16,
                                                           c.mode == SwitchOverMode::Dcon ? dcon : modbus)),
                  c.result)
            << static_cast<int>(c.mode) << " " << c.reply;
    }
}

}  // namespace
}  // namespace varda
