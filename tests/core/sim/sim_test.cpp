#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "core/link/posix_serial_backend.h"
#include "core/protocol/frame_codec.h"
#include "core/protocol/my_converter.h"
#include "sim/calibration_physics.h"
#include "sim/console.h"
#include "sim/in_process_backend.h"
#include "sim/pty_server.h"
#include "sim/simulated_module.h"

namespace varda::sim {
namespace {

using Kind = ReplyOutcome::Kind;
using Reason = ReplyOutcome::Reason;
constexpr bool kRead = true;
constexpr bool kWrite = false;
constexpr Addressing kAt16{16, 8};

Bytes hash_bytes(std::string_view name) {
    const std::uint16_t h = hash_name(name);
    return {static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h)};
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The value text a configurator would show for reply data.
std::string decoded(std::string_view name, std::string_view type, std::span<const std::uint8_t> data) {
    MyConverter c{std::string(name)};
    c.set_data_type(std::string(type));
    EXPECT_EQ(c.ConvertFromData(data), MyConverter::DecodeResult::Decoded) << name;
    return c.value_text();
}

class SimulatedModuleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m.add({.name = "FiLt", .type = "int", .value = "5"});
        m.add({.name = "SP", .type = "float", .value = "25.5"});
        m.add({.name = "Shft", .type = "STORED_DOT", .value = "1.5"});
        m.add({.name = "inP", .type = "Pt100:Pt50:TC_K", .value = "Pt100"});
        m.add({.name = "tExt", .type = "string", .value = "AB"});
        m.add({.name = "dev", .type = "string", .value = "VK05", .read_only = true, .has_attributes = false});
        m.add({.name = "rEAd", .type = "sint", .value = "-5", .read_only = true});
        m.add({.name = "JuRD", .type = "int", .value = "7"});
        for (int k = 0; k < 4; ++k)
            m.add({.name = "CHAr", .index = k, .type = "int", .value = std::to_string(20 + k)});
    }

    // Sends one request; expects no reply or exactly one.
    std::optional<std::string> send(const std::string& frame) {
        auto replies = m.feed(frame);
        EXPECT_LE(replies.size(), 1u);
        if (replies.empty()) return std::nullopt;
        return replies.front();
    }

    ReplyOutcome ask(bool read, std::string_view name, const Bytes& data = {}, Addressing at = kAt16) {
        const std::uint16_t hash = hash_name(name);
        const auto reply = send(build_request(read, hash, data, 0, at));
        if (!reply) {
            ADD_FAILURE() << "no reply to " << name;
            return {};
        }
        return parse_reply(*reply, hash);
    }

    SimulatedModule m;
};

TEST_F(SimulatedModuleTest, WriteThenReadRoundTripsByType) {
    struct Case {
        const char* name;
        const char* type;
        const char* written;
        Bytes wire;  // the reply data: fixed vectors, so a mistake shared with the codec still shows
        const char* shown;
    };
    const Case cases[] = {
        {"FiLt", "int", "300", {0x01, 0x2C}, "300"},
        {"SP", "float", "1.0", {0x3F, 0x80, 0x00, 0x00}, "1.000"},
        {"Shft", "STORED_DOT", "-1.5", {0x90, 0x0F}, "-1.500"},
        {"inP", "Pt100:Pt50:TC_K", "tc k", {0x02}, "TC K"},  // "_" stands for a space
    };
    for (const auto& c : cases) {
        MyConverter encoder{std::string(c.name)};
        encoder.set_data_type(c.type);
        encoder.SetValueText(c.written);
        Bytes data;
        ASSERT_EQ(encoder.ConvertToData(data), MyConverter::EncodeResult::Encoded) << c.name;

        const auto written = ask(kWrite, c.name, data);
        ASSERT_EQ(written.kind, Kind::Accepted) << c.name;
        EXPECT_EQ(written.data, c.wire) << c.name;
        EXPECT_EQ(m.value(c.name), c.shown) << c.name;

        const auto read = ask(kRead, c.name);
        ASSERT_EQ(read.kind, Kind::Accepted) << c.name;
        EXPECT_EQ(decoded(c.name, c.type, read.data), c.shown) << c.name;
    }
}

TEST_F(SimulatedModuleTest, TextsTravelReversedAndSignedValuesInTwoBytes) {
    EXPECT_EQ(ask(kRead, "dev").data, (Bytes{'5', '0', 'K', 'V'}));
    EXPECT_EQ(ask(kRead, "rEAd").data, (Bytes{0xFF, 0xFB}));
    // The configurator cannot encode a text, but a module stores one written to it.
    EXPECT_EQ(ask(kWrite, "tExt", {'Z', 'Y', 'X'}).kind, Kind::Accepted);
    EXPECT_EQ(m.value("tExt"), "XYZ");
    EXPECT_EQ(decoded("tExt", "string", ask(kRead, "tExt").data), "XYZ");
}

TEST_F(SimulatedModuleTest, IndexedRequestsEchoTheIndex) {
    const auto read = ask(kRead, "CHAr", {0x00, 0x02});
    ASSERT_EQ(read.kind, Kind::Accepted);
    EXPECT_EQ(read.data, (Bytes{22, 0x00, 0x02}));

    const auto written = ask(kWrite, "CHAr", {40, 0x00, 0x01});
    ASSERT_EQ(written.kind, Kind::Accepted);
    EXPECT_EQ(written.data, (Bytes{40, 0x00, 0x01}));
    EXPECT_EQ(m.value("CHAr", 1), "40");
    EXPECT_EQ(m.value("CHAr", 2), "22");
}

TEST_F(SimulatedModuleTest, ErrorReplies) {
    struct Case {
        const char* what;
        bool read;
        const char* name;
        Bytes data;
        std::uint8_t code;
    };
    const Case cases[] = {
        {"unknown name", kRead, "XyZ", {}, 0x28},
        {"read-only", kWrite, "dev", {'A'}, 0x03},
        {"index not in table", kRead, "CHAr", {0x00, 0x09}, 0x35},
        {"attributes of a parameter without them", kRead, "M.s.t.r.", hash_bytes("dev"), 0x08},
        {"attributes of an unknown name", kRead, "M.s.t.r.", hash_bytes("XyZ"), 0x28},
        {"enumeration index past the list", kWrite, "inP", {0x07}, 0x37},
    };
    for (const auto& c : cases) {
        const auto reply = ask(c.read, c.name, c.data);
        ASSERT_EQ(reply.kind, Kind::ErrorReply) << c.what;
        EXPECT_EQ(reply.data, Bytes{c.code}) << c.what;
    }
    EXPECT_EQ(m.value("dev"), "VK05");
}

TEST_F(SimulatedModuleTest, AttributeExchange) {
    // Read: 3 data bytes, the attribute byte first (bit 0 access, bit 1 = 1 - user).
    auto reply = ask(kRead, "M.s.t.r.", hash_bytes("FiLt"));
    ASSERT_EQ(reply.kind, Kind::Accepted);
    EXPECT_EQ(reply.data, concat({0x03}, hash_bytes("FiLt")));

    // Write access 0, user 1; then the override 3 restores access 1, user 0.
    reply = ask(kWrite, "M.s.t.r.", concat({0x00}, hash_bytes("FiLt")));
    EXPECT_EQ(reply.data, concat({0x00}, hash_bytes("FiLt")));
    EXPECT_EQ(m.entry("FiLt")->access, 0);
    EXPECT_EQ(m.entry("FiLt")->user, 1);
    ask(kWrite, "M.s.t.r.", concat({0x03}, hash_bytes("FiLt")));
    EXPECT_EQ(m.entry("FiLt")->access, 1);
    EXPECT_EQ(m.entry("FiLt")->user, 0);

    // Indexed: 0x00 and the index's low byte before the hash; 5 data bytes back; only that index changes.
    const Bytes at2 = concat({0x00, 0x02}, hash_bytes("CHAr"));
    reply = ask(kWrite, "M.s.t.r.", concat({0x01}, at2));
    ASSERT_EQ(reply.kind, Kind::Accepted);
    EXPECT_EQ(reply.data, concat({0x01}, at2));
    EXPECT_EQ(m.entry("CHAr", 2)->user, 1);
    EXPECT_EQ(m.entry("CHAr", 1)->user, 0);
    EXPECT_EQ(ask(kRead, "M.s.t.r.", at2).data, concat({0x01}, at2));
}

TEST_F(SimulatedModuleTest, JurdCarriesThreeExtraBytesAndAplyIsNeverAnswered) {
    const auto reply = ask(kRead, "JuRD");
    ASSERT_EQ(reply.kind, Kind::Accepted);
    ASSERT_EQ(reply.data.size(), 4u);
    EXPECT_EQ(decoded("JuRD", "int", std::span(reply.data).first(1)), "7");

    EXPECT_FALSE(send(build_request(kWrite, kHashAply, {}, 0, kAt16)));
    EXPECT_EQ(m.aply_received(), 1);
    EXPECT_EQ(m.requests_seen(hash_name("JuRD")), 1);
}

// APLY makes what was written to "Addr" and "bPS" the module's: it answers at the new address only, and
// only frames sent at the new rate reach it.
TEST_F(SimulatedModuleTest, AplyTakesTheNewNetworkSettings) {
    m.add({.name = "Addr", .type = "int", .value = "16"});
    m.add({.name = "bPS", .type = "1200:2400:4800:9600:19200", .value = "9600"});
    EXPECT_TRUE(m.hears(115200)) << "any rate before the first APLY";
    const auto encoded = [](std::string_view name, std::string_view type, std::string_view text) {
        MyConverter c{std::string(name)};
        c.set_data_type(std::string(type));
        c.SetValueText(std::string(text));
        Bytes data;
        EXPECT_EQ(c.ConvertToData(data), MyConverter::EncodeResult::Encoded);
        return data;
    };
    ASSERT_EQ(ask(kWrite, "Addr", encoded("Addr", "int", "20")).kind, Kind::Accepted);
    ASSERT_EQ(ask(kWrite, "bPS", encoded("bPS", "1200:2400:4800:9600:19200", "19200")).kind, Kind::Accepted);
    EXPECT_EQ(m.address(), 16) << "nothing changes before APLY";
    EXPECT_FALSE(send(build_request(kWrite, kHashAply, {}, 0, kAt16)));
    EXPECT_EQ(m.address(), 20);
    EXPECT_EQ(m.line_baud(), 19200);
    EXPECT_FALSE(m.hears(9600));
    EXPECT_TRUE(m.hears(19200));
    EXPECT_FALSE(send(build_request(kRead, hash_name("FiLt"), {}, 0, kAt16)));
    EXPECT_TRUE(send(build_request(kRead, hash_name("FiLt"), {}, 0, {20, 8})));

    // Through a port: a configurator that does not follow loses the module; one that follows finds it.
    auto module = std::make_shared<SimulatedModule>();
    module->set_line_baud(19200);
    module->add({.name = "FiLt", .type = "int", .value = "5"});
    InProcessBackend line(module);
    std::string error;
    ASSERT_TRUE(line.open("sim", error));
    platform::Event stop(platform::Event::Reset::Manual);
    const auto answered_at = [&](int baud) {
        LineSettings settings;
        settings.baud_rate = baud;
        line.configure(settings);
        line.write(build_request(kRead, hash_name("FiLt"), {}, 0, kAt16), stop);
        return line.wait_readable(std::chrono::milliseconds(100), stop) == WaitOutcome::Readable;
    };
    EXPECT_FALSE(answered_at(9600));
    EXPECT_TRUE(answered_at(19200));
}

// APLY also makes the parity and stop bits written the module's: a frame in another format is garbage to it.
TEST_F(SimulatedModuleTest, AplyTakesTheParityAndStopBitsToo) {
    m.add({.name = "PrtY", .type = "None:Even:Odd", .value = "None"});
    m.add({.name = "Sbit", .type = "1:2", .value = "1"});
    const LineSettings odd_two{9600, 4, 8, 2};
    EXPECT_TRUE(m.hears(odd_two)) << "any format before the first APLY";
    EXPECT_TRUE(m.set_value("PrtY", -1, "Odd"));
    EXPECT_TRUE(m.set_value("Sbit", -1, "2"));
    EXPECT_TRUE(m.hears(LineSettings{9600, 3, 8, 1})) << "nothing changes before APLY";
    EXPECT_FALSE(send(build_request(kWrite, kHashAply, {}, 0, kAt16)));
    EXPECT_EQ(m.line_parity(), 4);
    EXPECT_EQ(m.line_stop_bits(), 2);
    struct Case {
        LineSettings line;
        bool heard;
    };
    for (const auto& c : {Case{odd_two, true}, Case{{0, 4, 8, 2}, true}, Case{{9600, 1, 8, 2}, false},
                          Case{{9600, 3, 8, 2}, false}, Case{{9600, 0, 8, 2}, false},
                          Case{{9600, 4, 8, 1}, false}, Case{{9600, -1, 8, 2}, false}})
        EXPECT_EQ(m.hears(c.line), c.heard) << c.line.parity_code << " " << c.line.stop_bits;

    // Through a port: only the configurator that follows the new format is heard.
    auto module = std::make_shared<SimulatedModule>();
    module->add({.name = "PrtY", .type = "None:Even:Odd", .value = "Even"});
    module->add({.name = "Sbit", .type = "1:2", .value = "2"});
    module->feed(build_request(kWrite, kHashAply, {}, 0, kAt16));
    module->add({.name = "FiLt", .type = "int", .value = "5"});
    InProcessBackend line(module);
    std::string error;
    ASSERT_TRUE(line.open("sim", error));
    platform::Event stop(platform::Event::Reset::Manual);
    const auto answered = [&](const LineSettings& settings) {
        line.configure(settings);
        line.write(build_request(kRead, hash_name("FiLt"), {}, 0, kAt16), stop);
        return line.wait_readable(std::chrono::milliseconds(100), stop) == WaitOutcome::Readable;
    };
    EXPECT_FALSE(answered({9600, 3, 8, 1}));
    EXPECT_FALSE(answered({9600, 1, 8, 1}));
    EXPECT_TRUE(answered({9600, 1, 8, 2}));
}

// A module with several addresses answers each as the address asked, so that a reply names who answered.
TEST_F(SimulatedModuleTest, RepliesCarryTheAddressAsked) {
    m.set_address_span(3);
    for (const int address : {16, 17, 18}) {
        const auto reply = send(build_request(kRead, hash_name("FiLt"), {}, address - 16, kAt16));
        ASSERT_TRUE(reply) << address;
        EXPECT_EQ(reply_address(*reply, 8), address);
    }
    EXPECT_FALSE(send(build_request(kRead, hash_name("FiLt"), {}, 3, kAt16)));
}

TEST_F(SimulatedModuleTest, AnswersOnlyItsOwnAddressAndBroadcast) {
    const std::uint16_t h = hash_name("FiLt");
    EXPECT_FALSE(send(build_request(kRead, h, {}, 1, kAt16)));
    EXPECT_TRUE(send(build_request(kRead, h, {}, -1, kAt16)));

    // 11 bits: address 1003 is byte 0 = 0x7D with bits 011 at the top of byte 1, in the reply too.
    m.set_address(1003);
    m.set_address_width(11);
    EXPECT_FALSE(send(build_request(kRead, h, {}, 0, {1002, 11})));
    EXPECT_TRUE(send(build_request(kRead, h, {}, -1, {1003, 11})));
    const auto reply = send(build_request(kRead, h, {}, 0, {1003, 11}));
    ASSERT_TRUE(reply);
    const auto bytes = decode_buffer(reply->substr(1, reply->size() - 2));
    ASSERT_TRUE(bytes);
    EXPECT_EQ((*bytes)[0], 0x7D);
    EXPECT_EQ((*bytes)[1] >> 5, 3);
    EXPECT_EQ((*bytes)[1] & 0x10, 0x10) << "a reply repeats the request's read flag";
    const auto outcome = parse_reply(*reply, h, 11);
    EXPECT_EQ(outcome.kind, Kind::Accepted);
    EXPECT_EQ(outcome.address, 1003);
    EXPECT_TRUE(outcome.read_flag);
}

TEST_F(SimulatedModuleTest, SwitchOverFromEachForeignMode) {
    for (const auto mode : {SwitchOverMode::ModbusRtu, SwitchOverMode::ModbusAscii, SwitchOverMode::Dcon}) {
        SCOPED_TRACE(static_cast<int>(mode));
        m.set_mode(mode);
        EXPECT_FALSE(send(build_request(kRead, hash_name("FiLt"), {}, 0, kAt16)));
        m.line_idle();  // ends whatever part of that frame Modbus RTU still holds
        EXPECT_FALSE(send(*build_switch_over(mode, 17)));
        m.line_idle();

        const auto reply = send(*build_switch_over(mode, 16));
        ASSERT_TRUE(reply);
        EXPECT_EQ(check_switch_over_reply(mode, *reply, 16, switch_over_payload(mode)),
                  SwitchOverResult::Accepted);
        EXPECT_EQ(m.mode(), SwitchOverMode::Ravelin);
        EXPECT_EQ(ask(kRead, "FiLt").kind, Kind::Accepted);
    }
}

TEST_F(SimulatedModuleTest, Faults) {
    struct Case {
        Faults faults;
        Kind kind;
        Reason reason;
    };
    const Case cases[] = {
        {{.bad_checksum = true}, Kind::Rejected, Reason::Checksum},
        {{.wrong_hash = true}, Kind::Rejected, Reason::WrongHash},
        {{.garbage_header = true}, Kind::Rejected, Reason::HeaderLost},
        {{.error_code = 0x41}, Kind::ErrorReply, Reason::None},
    };
    for (const auto& c : cases) {
        m.set_faults(c.faults);
        const auto reply = ask(kRead, "FiLt");
        EXPECT_EQ(reply.kind, c.kind);
        EXPECT_EQ(reply.reason, c.reason);
    }

    m.set_faults({.silent_every = 3});
    std::vector<bool> answered;
    for (int i = 0; i < 6; ++i)
        answered.push_back(send(build_request(kRead, hash_name("FiLt"), {}, 0, kAt16)).has_value());
    EXPECT_EQ(answered, (std::vector<bool>{true, true, false, true, true, false}));

    m.set_faults({.always_silent = true});
    EXPECT_FALSE(send(build_request(kRead, hash_name("FiLt"), {}, 0, kAt16)));

    m.set_faults({.bad_checksum = true});
    m.set_mode(SwitchOverMode::Dcon);
    const auto reply = send(*build_switch_over(SwitchOverMode::Dcon, 16));
    ASSERT_TRUE(reply);
    EXPECT_EQ(
        check_switch_over_reply(SwitchOverMode::Dcon, *reply, 16, switch_over_payload(SwitchOverMode::Dcon)),
        SwitchOverResult::Checksum);
}

TEST_F(SimulatedModuleTest, StreamingInputAndLog) {
    const std::string frame = build_request(kRead, hash_name("FiLt"), {}, 0, kAt16);
    EXPECT_TRUE(m.feed("\n\x01zz" + frame.substr(0, 5)).empty());
    EXPECT_TRUE(m.feed(frame.substr(5, 4)).empty());
    const auto replies = m.feed(frame.substr(9));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(parse_reply(replies[0], hash_name("FiLt")).kind, Kind::Accepted);

    // A frame with a spoilt checksum is ignored; the frames around it are answered.
    std::string bad = frame;
    bad[bad.size() - 2] = bad[bad.size() - 2] == 'G' ? 'H' : 'G';
    EXPECT_EQ(m.feed(frame + bad + frame).size(), 2u);

    const auto log = m.log();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[0].direction, LogEntry::Direction::Received);
    EXPECT_EQ(log[0].frame, frame);
    EXPECT_EQ(log[1].direction, LogEntry::Direction::Sent);
    EXPECT_EQ(log[1].frame, replies[0]);
    EXPECT_EQ(log[4].frame, bad);
    EXPECT_EQ(log[5].direction, LogEntry::Direction::Received);
    EXPECT_EQ(m.requests_seen(hash_name("FiLt")), 3);
}

TEST(SimulatedModuleDemo, ServesTheDemoTable) {
    SimulatedModule m;
    add_demo_parameters(m, "VK07");
    EXPECT_EQ(m.value("dev"), "VK07");
    // "CHAr" holds a valid network name.
    NameCodes codes{};
    for (int k = 0; k < 4; ++k)
        codes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(std::stoi(*m.value("CHAr", k)));
    EXPECT_TRUE(codes_to_name(codes).text);
    const auto reply = m.feed(build_request(kRead, hash_name("bPS"), {}, 0, kAt16));
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(decoded("bPS", "2400:4800:9600", parse_reply(reply[0], hash_name("bPS")).data), "9600");
}

// ---- transports ---------------------------------------------------------------------------------------

std::string read_reply(InProcessBackend& backend, platform::Event& stop) {
    std::string reply;
    while (reply.empty() || reply.back() != '\r') {
        if (backend.wait_readable(std::chrono::seconds(5), stop) != WaitOutcome::Readable) break;
        char buf[64];
        reply.append(buf, backend.read_available(buf, sizeof buf));
    }
    return reply;
}

TEST(InProcessBackend, DeliversRepliesAndEndsWaits) {
    auto module = std::make_shared<SimulatedModule>();
    module->add({.name = "Addr", .type = "int", .value = "16"});
    InProcessBackend backend(module);
    platform::Event stop(platform::Event::Reset::Manual);
    std::string error;

    backend.set_unplugged(true);
    EXPECT_FALSE(backend.open("/dev/anything", error));
    EXPECT_EQ(error, "no such device");
    backend.set_unplugged(false);
    ASSERT_TRUE(backend.open("/dev/anything", error));
    ASSERT_TRUE(backend.configure({}));
    backend.set_line_timing(true);

    const std::string request = build_request(kRead, hash_name("Addr"), {}, 0, kAt16);
    ASSERT_EQ(backend.write(request, stop), WaitOutcome::Readable);
    const auto reply = parse_reply(read_reply(backend, stop), hash_name("Addr"));
    EXPECT_EQ(reply.kind, Kind::Accepted);
    EXPECT_EQ(reply.data, (Bytes{0x00, 0x10}));

    // A Modbus RTU frame written one character at a time (direction control by RTS) is still one frame.
    module->set_mode(SwitchOverMode::ModbusRtu);
    const std::string switch_over = *build_switch_over(SwitchOverMode::ModbusRtu, 16);
    for (const char c : switch_over)
        backend.write(std::string_view(&c, 1), stop);
    ASSERT_EQ(backend.wait_readable(std::chrono::seconds(5), stop), WaitOutcome::Readable);
    EXPECT_EQ(module->mode(), SwitchOverMode::Ravelin);
    backend.purge(PurgeKind::Both);

    // A delayed reply is not there at once, and purge cannot drop what has not arrived yet; once arrived,
    // it can.
    module->set_faults({.reply_delay = std::chrono::milliseconds(300)});
    backend.write(request, stop);
    char buf[64];
    EXPECT_EQ(backend.read_available(buf, sizeof buf), 0u);
    backend.purge(PurgeKind::Received);
    ASSERT_EQ(backend.wait_readable(std::chrono::seconds(5), stop), WaitOutcome::Readable);
    backend.purge(PurgeKind::Received);
    EXPECT_EQ(backend.wait_readable(std::chrono::milliseconds(20), stop), WaitOutcome::TimedOut);

    // A line error is reported once.
    module->set_faults({.line_error = true});
    backend.write(request, stop);
    EXPECT_EQ(backend.wait_readable(std::chrono::seconds(5), stop), WaitOutcome::LineError);
    EXPECT_EQ(backend.wait_readable(std::chrono::milliseconds(20), stop), WaitOutcome::TimedOut);

    // The stop event ends a wait that nothing else would end.
    module->set_faults({.always_silent = true});
    backend.write(request, stop);
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stop.set();
    });
    EXPECT_EQ(backend.wait_readable(std::chrono::milliseconds(-1), stop), WaitOutcome::Stopped);
    stopper.join();
}

TEST(PtyServer, AnswersOnThePseudoTerminal) {
    auto module = std::make_shared<SimulatedModule>();
    module->add({.name = "Addr", .type = "int", .value = "16"});
    PtyServer server(module);
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;

    const int fd = ::open(server.slave_path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::cfmakeraw(&tio);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);

    const std::string request = build_request(kRead, hash_name("Addr"), {}, 0, kAt16);
    ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    std::string reply;
    pollfd p{fd, POLLIN, 0};
    while ((reply.empty() || reply.back() != '\r') && ::poll(&p, 1, 5000) > 0) {
        char buf[64];
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got <= 0) break;
        reply.append(buf, static_cast<std::size_t>(got));
    }
    ::close(fd);
    server.stop();

    const auto outcome = parse_reply(reply, hash_name("Addr"));
    EXPECT_EQ(outcome.kind, Kind::Accepted);
    EXPECT_EQ(outcome.data, (Bytes{0x00, 0x10}));
}

// Reads what arrives on the terminal until `count` replies (carriage returns) came or `within` passed; each
// reply with the time it ended, from `since`.
std::vector<std::pair<std::string, double>> replies_on(int fd, std::size_t count,
                                                       std::chrono::milliseconds within,
                                                       std::chrono::steady_clock::time_point since) {
    using Clock = std::chrono::steady_clock;
    std::vector<std::pair<std::string, double>> replies;
    std::string partial;
    const auto deadline = Clock::now() + within;
    pollfd p{fd, POLLIN, 0};
    while (replies.size() < count && Clock::now() < deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (::poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0) continue;
        char buf[64];
        const ssize_t got = ::read(fd, buf, sizeof buf);
        for (ssize_t k = 0; k < got; ++k) {
            partial.push_back(buf[k]);
            if (buf[k] != '\r') continue;
            replies.emplace_back(std::exchange(partial, {}),
                                 std::chrono::duration<double, std::milli>(Clock::now() - since).count());
        }
    }
    return replies;
}

int open_raw(const std::string& path, speed_t speed) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, speed);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// With line timing a reply waits for its own request's time on the line, not for every character heard
// before; and a module's late reply does not hold up another module's.
TEST(PtyServer, ARepliesLineTimeIsItsOwnAndLateRepliesWaitAlone) {
    auto late = std::make_shared<SimulatedModule>(16);
    auto quick = std::make_shared<SimulatedModule>(17);
    for (const auto& module : {late, quick})
        module->add({.name = "Addr", .type = "int", .value = "1"});
    Faults slow;
    slow.reply_delay = std::chrono::milliseconds(300);
    late->set_faults(slow);
    PtyServer server(std::vector{late, quick});
    server.set_line_timing(true);
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    const int fd = open_raw(server.slave_path(), B9600);
    ASSERT_GE(fd, 0);

    // 99 requests to empty addresses, then one to the quick module: about 15 ms of request, 19 of reply.
    std::string silent;
    for (int address = 100; address < 199; ++address)
        silent += build_request(kRead, hash_name("Addr"), {}, 0, {address, 8});
    ASSERT_EQ(::write(fd, silent.data(), silent.size()), static_cast<ssize_t>(silent.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string ask17 = build_request(kRead, hash_name("Addr"), {}, 0, {17, 8});
    auto sent = std::chrono::steady_clock::now();
    ASSERT_EQ(::write(fd, ask17.data(), ask17.size()), static_cast<ssize_t>(ask17.size()));
    auto replies = replies_on(fd, 1, std::chrono::milliseconds(2000), sent);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(reply_address(replies[0].first, 8), 17);
    EXPECT_GT(replies[0].second, 30.0);
    EXPECT_LT(replies[0].second, 150.0);

    // The late module is asked first; the quick one's reply comes while the late one's is still due.
    const std::string ask16 = build_request(kRead, hash_name("Addr"), {}, 0, kAt16);
    sent = std::chrono::steady_clock::now();
    ASSERT_EQ(::write(fd, ask16.data(), ask16.size()), static_cast<ssize_t>(ask16.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(::write(fd, ask17.data(), ask17.size()), static_cast<ssize_t>(ask17.size()));
    replies = replies_on(fd, 2, std::chrono::milliseconds(2000), sent);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(reply_address(replies[0].first, 8), 17);
    EXPECT_LT(replies[0].second, 150.0);
    EXPECT_EQ(reply_address(replies[1].first, 8), 16);
    EXPECT_GT(replies[1].second, 300.0);
    EXPECT_EQ(parse_reply(replies[1].first, hash_name("Addr")).kind, Kind::Accepted);
    ::close(fd);
    server.stop();
}

// On the terminal a module that APLY moved to 14400 baud, odd parity and 2 stop bits hears only a program
// that set exactly that (a rate that termios names by number included). A pseudo-terminal keeps no more of
// the parity than whether it is odd.
TEST(PtyServer, AModuleHearsOnlyTheFormatItWasSetTo) {
    auto module = std::make_shared<SimulatedModule>();
    module->add(
        {.name = "bPS", .type = "2400:4800:9600:14400:19200:28800:38400:57600:115200", .value = "14400"});
    module->add({.name = "PrtY", .type = "None:Even:Odd", .value = "Odd"});
    module->add({.name = "Sbit", .type = "1:2", .value = "2"});
    module->add({.name = "FiLt", .type = "int", .value = "5"});
    module->feed(build_request(kWrite, kHashAply, {}, 0, kAt16));
    PtyServer server(module);
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    PosixSerialBackend port;
    ASSERT_TRUE(port.open(server.slave_path(), error)) << error;
    platform::Event stop(platform::Event::Reset::Manual);
    struct Case {
        LineSettings line;
        bool heard;
    };
    for (const auto& c :
         {Case{{14400, 4, 8, 2}, true}, Case{{14400, 4, 8, 1}, false}, Case{{14400, 3, 8, 2}, false},
          Case{{14400, 1, 8, 2}, false}, Case{{9600, 4, 8, 2}, false}, Case{{28800, 4, 8, 2}, false}}) {
        ASSERT_TRUE(port.configure(c.line));
        port.purge(PurgeKind::Both);
        ASSERT_EQ(port.write(build_request(kRead, hash_name("FiLt"), {}, 0, kAt16), stop),
                  WaitOutcome::Readable);
        EXPECT_EQ(port.wait_readable(std::chrono::milliseconds(200), stop) == WaitOutcome::Readable, c.heard)
            << c.line.baud_rate << " " << c.line.parity_code << " " << c.line.stop_bits;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    port.close();
    server.stop();
}

// The console changes the module a program is talking to; each command is answered with one line.
TEST(SimConsole, QuantityAndMeterCommandsSteerTheCalibrationPhysics) {
    Console console(
        {std::make_shared<SimulatedModule>(1), std::make_shared<SimulatedModule>(2),
         std::make_shared<SimulatedModule>(3)},
        {std::make_shared<CalibrationPhysics>(13), std::make_shared<CalibrationPhysics>(21), nullptr});
    const struct {
        const char* command;
        const char* reply;
    } steps[] = {
        {"quantity input 2,5", "ok: input held at 2,5"},
        {"quantity", "ok: input = 2.500 mV, held"},
        {"quantity input auto", "ok: input follows the calibration"},
        {"quantity weight 3", "error: no quantity weight (this module has input)"},
        {"quantity input 2x", "error: quantity NAME VALUE or quantity NAME auto"},
        {"meter delay 50", "error: the module is no electrical meter"},
        {"@2", "ok: commands now change the module at address 2"},
        {"meter delay 50", "ok: meter delay 50 ms"},
        {"meter error on", "ok: meter error on"},
        {"meter error maybe", "error: meter delay MS or meter error on|off"},
        {"quantity", "ok: meter delay = 50 ms, error on, points done 0"},
        {"@3", "ok: commands now change the module at address 3"},
        {"quantity input 1", "error: this module has no simulated calibration"},
    };
    for (const auto& step : steps)
        EXPECT_EQ(console.run(step.command), step.reply) << step.command;
    EXPECT_NE(Console::help().find("quantity NAME VALUE|auto"), std::string::npos);
}

TEST(SimConsole, CommandsChangeTheModuleAndSaySo) {
    auto first = std::make_shared<SimulatedModule>(1);
    auto second = std::make_shared<SimulatedModule>(20);
    for (auto* m : {first.get(), second.get()})
        for (int k = 0; k < 2; ++k)
            m->add({.name = "FiLt", .index = k, .type = "int", .value = "5"});
    Console console({first, second});
    const struct {
        const char* command;
        const char* reply;
    } steps[] = {
        {"set FiLt:1 77", "ok: FiLt:1 = 77"},
        {"get FiLt:1", "ok: FiLt:1 = 77"},
        {"get nope", "error: no parameter nope"},
        {"silent on", "ok: silent"},
        {"@20", "ok: commands now change the module at address 20"},
        {"garble 2", "ok: garbling the next 2"},
        {"delay 40", "ok: garbling the next 2, delay 40 ms"},
        {"error 53", "ok: garbling the next 2, error code 53, delay 40 ms"},
        {"reset", "ok: no faults"},
        {"modules", "ok: @1 *@20"},
        {"@7", "error: no module at 7"},
        {"frobnicate", "error: unknown command frobnicate (help lists them)"},
        {"# a comment", ""},
    };
    for (const auto& step : steps)
        EXPECT_EQ(console.run(step.command), step.reply) << step.command;
    EXPECT_EQ(first->value("FiLt", 1), "77");
    EXPECT_TRUE(first->faults().always_silent);
    EXPECT_FALSE(second->faults().always_silent);
    EXPECT_NE(Console::help().find("garble N"), std::string::npos);

    // "garble": exactly the next N replies fail their checksum.
    second->set_faults({.garble_next = 1});
    const auto read = [&] {
        const auto replies = second->feed(build_request(kRead, hash_name("FiLt"), Bytes{0, 0}, 0, {20, 8}));
        return replies.empty() ? Kind::Rejected : parse_reply(replies.front(), hash_name("FiLt")).kind;
    };
    EXPECT_EQ(read(), Kind::Rejected);
    EXPECT_EQ(read(), Kind::Accepted);
}

}  // namespace
}  // namespace varda::sim
