// The frame codec on the hot path of every exchange: building a request and checking its reply,
// against copying the same characters (the least any exchange must do).
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/ratio_reporter.h"
#include "core/protocol/frame_codec.h"
#include "core/protocol/my_converter.h"

namespace {

const std::string kReply = [] {
    varda::Bytes raw{0x10, 0x14, 0x9F, 0x62, 0x3F, 0x80, 0x00, 0x00};
    const auto sum = varda::hash_buffer(raw);
    raw.push_back(static_cast<std::uint8_t>(sum >> 8));
    raw.push_back(static_cast<std::uint8_t>(sum));
    return "#" + varda::encode_buffer(raw) + "\r";
}();

void BM_RequestAndReply(benchmark::State& state) {
    // A float value ("Addr" itself is read by a rule of its own, which would not decode a float).
    varda::MyConverter value("SP");
    value.set_data_type("float");
    // Timed only when right: the request is the one the protocol defines for reading "Addr" at 16, and the
    // reply's value encodes back to the bytes it came from.
    const auto outcome = varda::parse_reply(kReply, varda::hash_name("Addr"));
    varda::MyConverter check("SP");
    check.set_data_type("float");
    varda::Bytes encoded;
    if (varda::build_request(true, varda::hash_name("Addr"), {}, 0, {16, 8}) != "#HGHGPVMIRPTK\r" ||
        outcome.kind != varda::ReplyOutcome::Kind::Accepted ||
        check.ConvertFromData(outcome.data) != varda::MyConverter::DecodeResult::Decoded ||
        check.ConvertToData(encoded) != varda::MyConverter::EncodeResult::Encoded ||
        encoded != outcome.data) {
        state.SkipWithError("the codec built or decoded a frame wrongly");
        return;
    }
    for (auto _ : state) {
        auto frame = varda::build_request(true, varda::hash_name("Addr"), {}, 0, {16, 8});
        auto outcome = varda::parse_reply(kReply, varda::hash_name("Addr"));
        value.ConvertFromData(outcome.data);
        benchmark::DoNotOptimize(frame);
        benchmark::DoNotOptimize(value.value_text().data());
    }
    if (value.value_text() != check.value_text()) state.SkipWithError("the timed decode gave another value");
}
BENCHMARK(BM_RequestAndReply);

void BM_CopyFrames(benchmark::State& state) {
    char out[64];
    const std::string request = "#HGHGPVMIRPTK\r";
    for (auto _ : state) {
        std::memcpy(out, request.data(), request.size());
        benchmark::DoNotOptimize(out);
        std::memcpy(out, kReply.data(), kReply.size());
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyFrames);

const RatioPair kCodecRatio("BM_RequestAndReply", "BM_CopyFrames");

}  // namespace
