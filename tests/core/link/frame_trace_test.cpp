// The line's tap and its decoding: every frame of a read, retries included, once and in order, with the
// fault named on the frame that carried it.
#include "core/link/frame_trace.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "core/app/command_line/headless_ui.h"
#include "core/link/device.h"
#include "core/link/line_stats.h"
#include "core/model/elements.h"
#include "sim/in_process_backend.h"
#include "sim/simulated_module.h"
#include "tests/support/reply_frame.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

std::unique_ptr<DescBranch> table_tree(int count) {
    auto root = std::make_unique<DescBranch>();
    for (int k = 0; k < count; ++k) {
        auto p = std::make_unique<Parameter>("tbl");
        p->set_data_type("int");
        p->indexed = true;
        p->network_index = k;
        root->AddParameter(std::move(p));
    }
    return root;
}

struct Traced {
    explicit Traced(const sim::Faults& faults) : ui(true), module(std::make_shared<sim::SimulatedModule>()) {
        set_ui(&ui);
        for (int k = 0; k < 4; ++k)
            module->add({.name = "tbl", .index = k, .type = "int", .value = std::to_string(100 + k)});
        device = std::make_unique<Device>(context, std::make_unique<sim::InProcessBackend>(module), options);
        device->finish_grace = 0ms;
        device->sio().settings.port_name = "sim";
        device->sio().settings.baud_rate = 115200;
        EXPECT_EQ(device->sio().open(), OpenResult::Opened);
        module->set_faults(faults);
        tree = table_tree(4);
        names.add_tree(*tree);
        device->sio().line_stats().reset();  // the port's opening is no part of the read
        device->sio().set_tap(&recorder);
        device->read_all(*tree);
        device->sio().set_tap(nullptr);
        counters = device->sio().line_stats().snapshot();
        FrameDecoder decoder(names);
        std::uint64_t seen = 0;
        for (const TapFrame& frame : recorder.take_since(seen))
            lines.push_back(decoder.decode(frame));
    }
    ~Traced() {
        device.reset();
        set_ui(nullptr);
    }
    HeadlessUi ui;
    ModuleContext context;
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::unique_ptr<Device> device;
    std::unique_ptr<DescBranch> tree;
    FrameNames names;
    FrameRecorder recorder;
    std::vector<TraceLine> lines;
    LineCounters counters;
};

TEST(FrameTrace, EachRequestAndRetryOnceInOrderWithTheFaultOnItsFrame) {
    struct Case {
        const char* what;
        sim::Faults faults;
        const char* failure;
        bool retried;  // a time-out is tried again; a reply that arrived garbled is not
    };
    const Case cases[] = {
        {"every second request dropped", {.silent_every = 2}, "time-out", true},
        {"garbled replies", {.reply_faults_after = 2, .bad_checksum = true}, "checksum error", false},
        {"replies under another hash", {.reply_faults_after = 2, .wrong_hash = true}, "wrong hash", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Traced traced(c.faults);
        const std::vector<TraceLine>& lines = traced.lines;
        ASSERT_FALSE(lines.empty());
        int faults_seen = 0;
        int last_index = 0;
        std::map<int, int> requests, failed;  // per index: requests sent, replies that failed
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const TraceLine& line = lines[i];
            EXPECT_EQ(line.name, "tbl") << trace_text(line);
            if (line.sent) {
                EXPECT_EQ(line.access, "read");
                EXPECT_GE(line.index, last_index) << "requests out of order: " << trace_text(line);
                last_index = line.index;
                ++requests[line.index];
                // Each request is answered (or timed out) before the next goes out.
                ASSERT_LT(i + 1, lines.size());
                EXPECT_FALSE(lines[i + 1].sent) << trace_text(lines[i + 1]);
                continue;
            }
            EXPECT_EQ(line.index, lines[i - 1].index);
            if (line.failure.empty()) {
                EXPECT_EQ(line.value, std::to_string(100 + line.index)) << trace_text(line);
                continue;
            }
            ++failed[line.index];
            if (line.failure == c.failure)
                ++faults_seen;
            else
                EXPECT_EQ(line.failure, "time-out")
                    << trace_text(line);  // a wrong hash waits out its attempt
        }
        EXPECT_GT(faults_seen, 0);
        // A parameter is asked again only after a failed reply, and each retry appears once.
        bool retried = false;
        for (const auto& [index, sent] : requests) {
            EXPECT_LE(sent, 1 + failed[index]) << index;
            retried = retried || sent > 1;
        }
        EXPECT_EQ(retried, c.retried);
        EXPECT_EQ(requests.size(), 4u);

        // The line's counters tell the same story as the trace.
        const auto count = [&lines](auto pick) {
            return static_cast<std::uint64_t>(std::count_if(lines.begin(), lines.end(), pick));
        };
        const LineCounters& counted = traced.counters;
        EXPECT_EQ(counted.requests, count([](const TraceLine& l) { return l.sent; }));
        EXPECT_EQ(counted.retries, counted.requests - requests.size());
        EXPECT_EQ(counted.timeouts, count([](const TraceLine& l) { return l.failure == "time-out"; }));
        EXPECT_EQ(counted.garbled, count([](const TraceLine& l) { return l.failure == "checksum error"; }));
        EXPECT_EQ(counted.wrong_hash, count([](const TraceLine& l) { return l.failure == "wrong hash"; }));
        EXPECT_EQ(counted.replies, count([](const TraceLine& l) {
                      return !l.sent && l.failure.find("time-out") == std::string::npos;
                  }));
    }
}

TEST(FrameTrace, LinesAreStableText) {
    TraceLine line;
    line.time_ms = 12.3456;
    line.sent = false;
    line.address = 16;
    line.name = "FiLt";
    line.index = 2;
    line.value = "10";
    line.reply_ms = 14.96;
    line.bytes = "#GH\\r";
    EXPECT_EQ(trace_text(line), "12.346 RX addr=16 FiLt:2 value=\"10\" reply=15.0ms bytes=#GH\\r");
}

}  // namespace
}  // namespace varda

namespace varda {
namespace {

// A line per frame whatever a module's text holds: every field is escaped, so a line feed or a quote in a
// value never splits or ends a line early.
TEST(FrameTrace, EveryFieldIsEscapedOntoOneLine) {
    const struct {
        const char* value;
        const char* shown;
    } cases[] = {
        {"two\nlines", "two\\nlines"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"back\\slash\r", "back\\\\slash\\r"},
        {"bell\a", "bell\\x07"},
        {"Вход 3", "Вход 3"},  // text as it is
    };
    for (const auto& c : cases) {
        TraceLine line;
        line.sent = false;
        line.address = 16;
        line.name = "NAME";
        line.value = c.value;
        line.failure = c.value;
        const std::string text = trace_text(line);
        EXPECT_EQ(text.find('\n'), std::string::npos) << text;
        EXPECT_EQ(text.find('\r'), std::string::npos) << text;
        EXPECT_EQ(text,
                  std::string("0.000 RX addr=16 NAME value=\"") + c.shown + "\" error=\"" + c.shown + "\"");
    }
}

using testing::reply_frame;

// An 11-bit address whose low three bits are 0 looks like an 8-bit one on the wire: the decoder takes the
// width in use and shows every address whole, in the request and in its reply.
TEST(FrameTrace, ElevenBitAddressesAreShownWhole) {
    FrameNames names;
    Parameter filter("FiLt");
    filter.set_data_type("int");
    filter.indexed = true;
    names.add(filter);
    const Bytes index{0x00, 0x02};
    for (const int address : {1000, 1001, 16, 2040}) {
        int width = 11;
        FrameDecoder decoder(names, [&width] { return width; });
        TapFrame request;
        request.bytes = build_request(true, hash_name("FiLt"), index, 0, {address, 11});
        TapFrame reply;
        reply.direction = TapFrame::Direction::Received;
        reply.bytes = reply_frame(address, 11, hash_name("FiLt"), {0x00, 0x0A, 0x00, 0x02});
        const TraceLine asked = decoder.decode(request);
        const TraceLine answered = decoder.decode(reply);
        EXPECT_EQ(asked.address, address) << trace_text(asked);
        EXPECT_EQ(answered.address, address) << trace_text(answered);
        EXPECT_EQ(answered.value, "10");
        EXPECT_NE(trace_text(asked).find(" addr=" + std::to_string(address) + " FiLt:2 read"),
                  std::string::npos)
            << trace_text(asked);
    }
    // 8-bit frames stay 8-bit, with or without a width given.
    for (const bool told : {true, false}) {
        FrameDecoder decoder(names, told ? AddressWidth([] { return 8; }) : AddressWidth());
        TapFrame request;
        request.bytes = build_request(true, hash_name("FiLt"), index, 0, {200, 8});
        EXPECT_EQ(decoder.decode(request).address, 200);
    }
}

// A reply that repeats another address or index answers another request: the trace says so, as the
// exchange drops it, and shows no value for it.
TEST(FrameTrace, AReplyToAnotherRequestIsNamedSo) {
    FrameNames names;
    Parameter filter("FiLt");
    filter.set_data_type("int");
    filter.indexed = true;
    names.add(filter);
    struct Case {
        int address;
        Bytes data;
        const char* failure;
    };
    for (const auto& c : {Case{16, {0x0A, 0x00, 0x02}, ""}, Case{17, {0x0A, 0x00, 0x02}, "another address"},
                          Case{16, {0x0B, 0x00, 0x01}, "another index"}}) {
        FrameDecoder decoder(names);
        TapFrame request;
        request.bytes = build_request(true, hash_name("FiLt"), Bytes{0x00, 0x02}, 0, {16, 8});
        TapFrame reply;
        reply.direction = TapFrame::Direction::Received;
        reply.bytes = reply_frame(c.address, 8, hash_name("FiLt"), c.data);
        decoder.decode(request);
        const TraceLine answered = decoder.decode(reply);
        if (*c.failure == '\0') {
            EXPECT_EQ(answered.value, "10");
            EXPECT_EQ(answered.failure, "");
        } else {
            EXPECT_NE(answered.failure.find(c.failure), std::string::npos) << trace_text(answered);
            EXPECT_EQ(answered.value, "");
        }
    }
}

}  // namespace
}  // namespace varda
