#include "core/link/device_io.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include "core/link/exit_status.h"
#include "core/model/parameter.h"
#include "sim/in_process_backend.h"
#include "sim/simulated_module.h"
#include "tests/support/reply_frame.h"

namespace varda {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The request engine on the simulated module, in process.
struct Link {
    explicit Link(bool full_access = true)
        : module(std::make_shared<sim::SimulatedModule>()),
          io(context, std::make_unique<sim::InProcessBackend>(module), options, full_access) {
        sim::add_demo_parameters(*module);
        io.sio().settings.port_name = "sim";
        io.sio().settings.baud_rate = 115200;
        EXPECT_EQ(io.sio().open(), OpenResult::Opened);
    }

    std::unique_ptr<Parameter> parameter(const char* name, const char* type, bool attributes = false) {
        auto p = std::make_unique<Parameter>(name);
        p->set_data_type(type);
        p->attributes_flag = attributes ? 1 : 0;
        return p;
    }
    void faults(auto change) {
        sim::Faults f;
        change(f);
        module->set_faults(f);
    }

    std::shared_ptr<sim::SimulatedModule> module;
    ModuleContext context;
    Options options;
    DeviceIO io;
};

TEST(DeviceIO, ReadAndWriteRoundTrip) {
    Link link;
    auto sp = link.parameter("SP", "float");
    sp->value_modified = true;
    ASSERT_EQ(link.io.request(true, sp.get()), RequestResult::Done);
    EXPECT_EQ(sp->value_text(), "25.500");
    EXPECT_FALSE(sp->value_modified);

    ASSERT_TRUE(sp->AcceptValue("30.25"));
    ASSERT_EQ(link.io.request(false, sp.get()), RequestResult::Done);
    EXPECT_EQ(link.module->value("SP"), "30.250");
    EXPECT_EQ(sp->value_text(), "30.250");  // the module's reply replaces the text
    EXPECT_TRUE(sp->error_text.empty());
}

TEST(DeviceIO, IndexedRequestsCarryAndStripTheIndex) {
    Link link;
    link.module->add({.name = "tbl", .index = 300, .type = "int", .value = "77"});
    auto p = link.parameter("tbl", "int");
    p->indexed = true;
    p->network_index = 300;
    DumpList dump;
    ASSERT_EQ(link.io.request(true, p.get(), &dump), RequestResult::Done);
    EXPECT_EQ(p->value_text(), "77");
    const DumpList expected{
        "2 data bytes in request frame",     ">> request: # 0 : 001 = 0x01 (.)",
        ">> request: # 1 : 044 = 0x2C (,)",  "<< response: # 0 : 077 = 0x4D (M)",
        "<< response: # 1 : 001 = 0x01 (.)", "<< response: # 2 : 044 = 0x2C (,)",
        "3 data bytes in response",
    };
    EXPECT_EQ(dump, expected);
}

TEST(DeviceIO, RetryBudgetsAndTheirTexts) {
    struct Case {
        const char* what;
        void (*fault)(sim::Faults&);
        int transmissions;
        const char* text;
    };
    const Case cases[] = {
        {"silence", [](sim::Faults& f) { f.always_silent = true; }, 2, "Time-out error"},
        {"no header", [](sim::Faults& f) { f.garbage_header = true; }, 11, "Frame header is lost"},
        {"line error", [](sim::Faults& f) { f.line_error = true; }, 17, "Improper serial port settings"},
        {"checksum", [](sim::Faults& f) { f.bad_checksum = true; }, 1, "Response sum check error"},
        // Another parameter's reply is not an answer: the wait goes on until the time-out, and when the
        // right one never comes the failure is the reply that came, not silence.
        {"wrong hash", [](sim::Faults& f) { f.wrong_hash = true; }, 2,
         "Received function code differs from transmitted function code and from n.Err."},
        {"error reply", [](sim::Faults& f) { f.error_code = 0x3A; }, 1,
         "Group access attribute on the level 2"},
    };
    for (const auto& c : cases) {
        Link link;
        link.faults(c.fault);
        auto p = link.parameter("FiLt", "int");
        EXPECT_EQ(link.io.request(true, p.get()), RequestResult::ExchangeFailed) << c.what;
        EXPECT_EQ(p->error_text, c.text) << c.what;
        EXPECT_EQ(link.module->requests_seen(hash_name("FiLt")), c.transmissions) << c.what;
    }
}

TEST(DeviceIO, ATimeOutLastsTheReplyTimeOutPerAttempt) {
    Link link;
    link.faults([](sim::Faults& f) { f.always_silent = true; });
    auto p = link.parameter("FiLt", "int");
    const auto start = Clock::now();
    EXPECT_EQ(link.io.request(true, p.get()), RequestResult::ExchangeFailed);
    const auto elapsed = Clock::now() - start;
    // Two attempts of 160 ms at 115200 baud, not seconds more.
    EXPECT_GE(elapsed, 300ms);
    EXPECT_LT(elapsed, 1000ms);
}

TEST(DeviceIO, ALateReplyDoesNotFailTheNextExchange) {
    // At 9600 baud the reply time-out is 220 ms; this module answers every frame after 300 ms, so each
    // first attempt times out and its late answer reaches the retry of the same parameter, while the
    // retry's answer reaches the next exchange, which must drop it and wait for its own.
    Link link;
    link.io.sio().settings.baud_rate = 9600;
    ASSERT_EQ(link.io.sio().open(), OpenResult::Opened);
    ASSERT_LT(link.io.sio().reply_timeout_ms(), 300);
    link.faults([](sim::Faults& f) { f.reply_delay = 300ms; });
    for (const char* name : {"Addr", "FiLt", "LEn", "A.Len", "Addr"}) {
        auto p = link.parameter(name, "int");
        EXPECT_EQ(link.io.request(true, p.get()), RequestResult::Done) << name << ": " << p->error_text;
        EXPECT_EQ(p->value_text(), link.module->value(name)) << name;
    }
}

// The simulated module's line, with a stranger's reply slipped in ahead of the module's own: what a late
// answer to an earlier request, or another module, puts on the line.
class StrayReplyBackend final : public SerialBackend {
  public:
    struct Request {
        int address;
        bool read;
        std::uint16_t hash;
        Bytes data;
    };
    using Stray = std::function<std::optional<std::string>(const Request&)>;

    StrayReplyBackend(std::shared_ptr<sim::SimulatedModule> module, Stray stray)
        : line_(std::move(module)), stray_(std::move(stray)) {}

    bool open(const std::string& path, std::string& error) override { return line_.open(path, error); }
    void close() override { line_.close(); }
    bool is_open() const override { return line_.is_open(); }
    bool configure(const LineSettings& settings) override { return line_.configure(settings); }
    bool purge(PurgeKind kind) override {
        if (kind != PurgeKind::Unsent) pending_.clear();
        return line_.purge(kind);
    }
    WaitOutcome write(std::string_view bytes, platform::Event& stop) override {
        const auto raw = decode_buffer(bytes.substr(1, bytes.size() - 2));
        if (raw && raw->size() >= 6) {
            const Bytes& b = *raw;
            const Request request{b[0], (b[1] & 0x10) != 0, static_cast<std::uint16_t>(b[2] << 8 | b[3]),
                                  Bytes(b.begin() + 4, b.end() - 2)};
            if (auto extra = stray_(request)) pending_ += *extra;
        }
        return line_.write(bytes, stop);
    }
    void set_rts(bool raised) override { line_.set_rts(raised); }
    WaitOutcome wait_readable(std::chrono::milliseconds timeout, platform::Event& stop) override {
        return pending_.empty() ? line_.wait_readable(timeout, stop) : WaitOutcome::Readable;
    }
    std::size_t read_available(char* buffer, std::size_t max) override {
        if (pending_.empty()) return line_.read_available(buffer, max);
        const std::size_t n = std::min(max, pending_.size());
        std::copy_n(pending_.data(), n, buffer);
        pending_.erase(0, n);
        return n;
    }

  private:
    sim::InProcessBackend line_;
    Stray stray_;
    std::string pending_;
};

// A reply frame as a module sends it, 8-bit addressing.
std::string reply_frame(int address, bool read, std::uint16_t hash, const Bytes& data) {
    return testing::reply_frame(address, 8, hash, data, read);
}

TEST(DeviceIO, OnlyTheAnswerToTheRequestIsTaken) {
    using Request = StrayReplyBackend::Request;
    const auto sbit = hash_name("Sbit");
    struct Case {
        const char* what;
        const char* name;  // FiLt:3 is indexed and holds 33
        bool attributes;
        std::function<std::optional<std::string>(const Request&)> stray;
        const char* failure;  // when the module itself stays silent
    };
    const Case cases[] = {
        {"another address", "FiLt:3", false,
         [](const Request& r) {
             return reply_frame(r.address + 1, r.read, r.hash, {0x07, 0x00, 0x03});
         },
         "Received address differs from the address requested"},
        {"another index", "FiLt:3", false,
         [](const Request& r) {
             return reply_frame(r.address, r.read, r.hash, {0x07, 0x00, 0x02});
         },
         "Received index or attribute target differs from the request"},
        {"another read/write flag", "FiLt:3", false,
         [](const Request& r) {
             return reply_frame(r.address, !r.read, r.hash, {0x07, 0x00, 0x03});
         },
         "Received read/write flag differs from the one requested"},
        {"another parameter's hash", "FiLt:3", false,
         [sbit](const Request& r) {
             return reply_frame(r.address, r.read, sbit, {0x07, 0x00, 0x03});
         },
         "Received function code differs from transmitted function code and from n.Err."},
        {"an error reply from another address", "FiLt:3", false,
         [](const Request& r) { return reply_frame(r.address + 1, r.read, kHashNErr, {0x28}); },
         "Received address differs from the address requested"},
        // The attribute exchange names its target at the end: Sbit's attributes are no answer for FiLt's.
        {"another parameter's attributes", "FiLt:3", true,
         [sbit](const Request& r) -> std::optional<std::string> {
             if (r.hash != kHashMstr) return std::nullopt;
             return reply_frame(
                 r.address, r.read, kHashMstr,
                 {0x02, static_cast<std::uint8_t>(sbit >> 8), static_cast<std::uint8_t>(sbit)});
         },
         "Received index or attribute target differs from the request"},
        // A reply that passes every check but is too long for the type is no value either.
        {"a length the type cannot have", "Sbit", false,
         [sbit](const Request& r) {
             return reply_frame(r.address, r.read, sbit, {0x00, 0x00, 0x00, 0x01});
         },
         "Response cannot be decoded"},
    };
    for (const auto& c : cases) {
        for (const bool silent : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (silent ? ", module silent" : ""));
            const bool too_long = std::string_view(c.failure) == "Response cannot be decoded";
            auto module = std::make_shared<sim::SimulatedModule>();
            sim::add_demo_parameters(*module);
            module->add({.name = "FiLt", .index = 3, .type = "int", .value = "33", .access = 1, .user = 1});
            ModuleContext context;
            Options options;
            std::atomic<bool> armed = false;  // the module's flag habit is learnt first, undisturbed
            DeviceIO io(
                context,
                std::make_unique<StrayReplyBackend>(module,
                                                    [&](const Request& r) -> std::optional<std::string> {
                                                        if (!armed) return std::nullopt;
                                                        return c.stray(r);
                                                    }),
                options);
            io.sio().settings.port_name = "sim";
            io.sio().settings.baud_rate = 115200;
            ASSERT_EQ(io.sio().open(), OpenResult::Opened);
            Parameter dev("dev");
            dev.set_data_type("string");
            ASSERT_EQ(io.request(true, &dev), RequestResult::Done);

            const bool indexed = std::string_view(c.name) == "FiLt:3";
            Parameter p(indexed ? "FiLt" : c.name);
            p.set_data_type(indexed ? "int" : "1:2");
            p.set_limits(0, 255);
            p.indexed = indexed;
            p.network_index = 3;
            p.attributes_flag = c.attributes ? 1 : 0;
            p.access_attribute = false;
            if (silent) {
                if (too_long) continue;  // the stray reply is the only one: nothing more to learn
                sim::Faults f;
                f.always_silent = true;
                module->set_faults(f);
            }
            armed = true;
            context.status.reset();
            const RequestResult result = io.request(true, &p);
            if (silent || too_long) {
                EXPECT_NE(result, RequestResult::Done);
                EXPECT_EQ(p.error_text, c.failure);
                EXPECT_NE(p.value_text(), "7") << "the stranger's value must not be taken";
                EXPECT_EQ(context.status.word() & kStatusNoReply, 0u) << "a reply came: this is no silence";
            } else {
                EXPECT_EQ(result, RequestResult::Done) << p.error_text;
                EXPECT_EQ(p.value_text(), module->value(p.network_name(), indexed ? 3 : -1))
                    << "the stranger's 7 must not be taken";
                if (c.attributes) {
                    EXPECT_TRUE(p.access_attribute) << "FiLt's own attributes: read/write";
                }
            }
        }
    }
}

TEST(DeviceIO, AModuleThatClearsTheReadFlagIsStillUnderstood) {
    Link link;
    link.faults([](sim::Faults& f) { f.clears_read_flag = true; });
    for (const char* name : {"dev", "FiLt", "Addr"}) {
        auto p = link.parameter(name, std::string_view(name) == "dev" ? "string" : "int");
        EXPECT_EQ(link.io.request(true, p.get()), RequestResult::Done) << name << ": " << p->error_text;
        EXPECT_EQ(p->value_text(), link.module->value(name));
    }
}

TEST(DeviceIO, ErrorReplyTexts) {
    struct Case {
        std::uint8_t code;
        const char* text;
    };
    for (const auto& c :
         {Case{0x00, "No error"}, Case{0x28, "Descriptor not found"},
          Case{0x35, "Parameter index out of range"}, Case{0x36, "Parameter index out of range"},
          Case{0x38, "Group access attribute on the level 0 (root)"},
          Case{0x3F, "Group access attribute on the level 7"}, Case{0x01, "Error value not found (Code  1)"},
          Case{0xFF, "Error value not found (Code -1)"},
          Case{0x4B, "Ошибка выполнения функции PrevWriteActions()"}}) {
        EXPECT_EQ(error_reply_text(std::vector<std::uint8_t>{c.code}), c.text) << int(c.code);
    }
    EXPECT_EQ(error_reply_text({}), "");
}

TEST(DeviceIO, AplyIsSentOnceAndNeverAwaited) {
    Link link;
    link.faults([](sim::Faults& f) { f.always_silent = true; });
    auto aply = link.parameter("APLY", "void");
    const auto start = Clock::now();
    EXPECT_EQ(link.io.request(false, aply.get()), RequestResult::Done);
    EXPECT_LT(Clock::now() - start, 300ms);  // one transaction, no retry
    EXPECT_EQ(link.module->aply_received(), 1);
}

TEST(DeviceIO, ClosedPortAndStopEvent) {
    Link link;
    auto p = link.parameter("FiLt", "int");
    link.io.sio().close();
    EXPECT_EQ(link.io.request(true, p.get()), RequestResult::PortClosed);
    EXPECT_EQ(p->error_text, "Serial port opening error");
    EXPECT_EQ(link.io.request(true, nullptr), RequestResult::PortClosed);

    ASSERT_EQ(link.io.sio().open(), OpenResult::Opened);
    link.io.sio().stop_event().set();
    const auto start = Clock::now();
    EXPECT_EQ(link.io.request(true, p.get()), RequestResult::ExchangeFailed);
    EXPECT_EQ(p->error_text, "Frame header is lost");
    EXPECT_LT(Clock::now() - start, 100ms);
    link.io.sio().stop_event().reset();
}

TEST(DeviceIO, AWriteThatCannotBeEncodedSendsNothing) {
    Link link;
    struct Case {
        const char* name;
        const char* type;
        const char* value;
        RequestResult result;
        const char* dump;
    };
    for (const auto& c : {Case{"FiLt", "None:Even", "Mark", RequestResult::NotEncodable,
                               "Bad value (data encoding impossible)"},
                          Case{"dev", "string", "VK01", RequestResult::NoEncoder,
                               "Setter method are not defined for the function 'dev'"}}) {
        auto p = link.parameter(c.name, c.type);
        p->SetValueText(c.value);
        EXPECT_EQ(link.io.request(false, p.get()), c.result) << c.name;
        DumpList dump;
        EXPECT_EQ(link.io.request(false, p.get(), &dump), c.result) << c.name;
        EXPECT_EQ(dump, DumpList{c.dump});
    }
    EXPECT_EQ(link.module->requests_total(), 0);
}

TEST(DeviceIO, AttributeExchange) {
    struct Case {
        bool full_access;
        bool do_not_send;
        bool read;
        int mstr_requests;
    };
    for (const auto& c :
         {Case{true, false, true, 1}, Case{true, false, false, 1}, Case{false, false, false, 1},
          Case{true, true, true, 0}, Case{true, true, false, 0}}) {
        Link link(c.full_access);
        link.options.do_not_send_attributes = c.do_not_send;
        link.module->add({.name = "FiLt", .type = "int", .value = "5", .access = 1, .user = 0});
        auto p = link.parameter("FiLt", "int", true);
        p->SetValueText("6");
        p->access_attribute = false;  // the module says read/write
        p->user_attribute = false;
        p->access_modified = p->user_modified = true;
        EXPECT_EQ(link.io.request(c.read, p.get()), RequestResult::Done);
        EXPECT_EQ(link.module->requests_seen(kHashMstr), c.mstr_requests);
        if (c.mstr_requests == 0) continue;
        EXPECT_FALSE(p->access_modified || p->user_modified);
        if (!c.read && c.full_access) {
            // A write with full access sends the parameter's attributes: read-only, "Company" cleared.
            EXPECT_EQ(link.module->entry("FiLt")->access, 0);
            EXPECT_FALSE(p->access_attribute);
        } else {
            EXPECT_EQ(link.module->entry("FiLt")->access, 1);
            EXPECT_TRUE(p->access_attribute);
        }
    }
}

TEST(DeviceIO, AttributeFailures) {
    Link link;
    auto no_attributes = link.parameter("dev", "string", true);  // the module keeps no attributes for it
    EXPECT_EQ(link.io.request(true, no_attributes.get()), RequestResult::AttributeExchangeFailed);
    EXPECT_EQ(no_attributes->error_text, "Parameter have no attributes");

    // A scanner never exchanges attributes.
    auto scanner = link.parameter("rEAd", "sint", true);
    scanner->MakeScanner();
    EXPECT_EQ(link.io.request(true, scanner.get()), RequestResult::Done);
    EXPECT_EQ(link.module->requests_seen(kHashMstr), 1);
}

TEST(DeviceIO, CompositeNetworkName) {
    Link link;
    auto name = link.parameter("CHAr*", "int", true);
    ASSERT_EQ(link.io.request(true, name.get()), RequestResult::Done);
    EXPECT_EQ(name->value_text(), "AI1 ");
    EXPECT_EQ(link.module->requests_seen(hash_name("CHAr")), 4);

    ASSERT_TRUE(name->AcceptValue("T.c"));
    ASSERT_EQ(link.io.request(false, name.get()), RequestResult::Done);
    EXPECT_EQ(name->value_text(), "T.C  ");
    EXPECT_FALSE(name->value_modified);
    EXPECT_EQ(link.module->requests_seen(kHashMstr), 4);  // one attribute exchange per code
    const NameCodes codes = *name_to_codes("T.c").codes;
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(link.module->value("CHAr", k), std::to_string(codes[static_cast<std::size_t>(k)]));

    name->SetValueText("");
    EXPECT_EQ(link.io.request(false, name.get()), RequestResult::NotEncodable);
    EXPECT_EQ(name->error_text, "Сетевое имя пусто (CHAr)");
    name->SetValueText("a*");
    EXPECT_EQ(link.io.request(false, name.get()), RequestResult::NotEncodable);
    EXPECT_EQ(name->error_text, "Недопустимый символ в сетевом имени (CHAr)");

    link.module->set_value("CHAr", 2, "90");
    EXPECT_EQ(link.io.request(true, name.get()), RequestResult::NotDecodable);
    EXPECT_EQ(name->error_text, "Недопустимый код символа в сетевом имени (CHAr)");
}

TEST(DeviceIO, SwitchOverInEveryMode) {
    for (auto mode : {SwitchOverMode::ModbusRtu, SwitchOverMode::ModbusAscii, SwitchOverMode::Dcon}) {
        Link link;
        link.module->set_mode(mode);
        auto dev = link.parameter("dev", "string");
        EXPECT_EQ(link.io.request(true, dev.get()),
                  RequestResult::ExchangeFailed);  // the module ignores Ravelin frames for now

        link.context.switch_over = mode;
        EXPECT_EQ(link.io.request(true, dev.get()), RequestResult::Done) << static_cast<int>(mode);
        EXPECT_EQ(dev->error_text, "");
        link.context.switch_over = SwitchOverMode::Ravelin;
        EXPECT_EQ(link.io.request(true, dev.get()), RequestResult::Done);
        EXPECT_EQ(dev->value_text(), "VK05");
    }
}

TEST(DeviceIO, SwitchOverFailures) {
    Link link;
    link.module->set_mode(SwitchOverMode::Dcon);
    link.context.switch_over = SwitchOverMode::ModbusAscii;  // the wrong protocol: silence
    auto p = link.parameter("dev", "string");
    EXPECT_EQ(link.io.request(true, p.get()), RequestResult::ExchangeFailed);
    EXPECT_EQ(p->failure_kind(), FailureKind::SwitchOver);
    EXPECT_EQ(p->error_text, "Time-out error");
    EXPECT_EQ(link.io.switch_over_exchange(), SwitchOverResult::Timeout);
    link.io.sio().settings.address_width = 11;
    EXPECT_EQ(link.io.switch_over_exchange(), SwitchOverResult::NoFrame);
    EXPECT_EQ(link.io.request(true, p.get()), RequestResult::ExchangeFailed);
}

}  // namespace
}  // namespace varda
