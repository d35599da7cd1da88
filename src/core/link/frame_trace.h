#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "core/link/frame_tap.h"
#include "core/protocol/frame_codec.h"

namespace varda {

class DescBranch;
class Parameter;

// What a trace knows of the names behind the hashes on the line: those every module answers, and the
// parameters of the loaded description.
class FrameNames {
  public:
    struct Entry {
        std::string name;
        std::string type;
        bool indexed = false;
    };
    FrameNames();
    void add(const Parameter& parameter);
    void add_tree(const DescBranch& root);
    std::optional<Entry> find(std::uint16_t hash) const;

  private:
    mutable std::mutex mutex_;
    std::map<std::uint16_t, Entry> entries_;
};

// One frame decoded.
struct TraceLine {
    double time_ms = 0;  // since the first frame traced
    bool sent = true;
    int address = -1;  // -1: not a frame of ours
    std::string name;  // "FiLt", "M.s.t.r. FiLt" for an attribute exchange, "0x1A2B" when unknown
    int index = -1;
    std::string access;   // "read" or "write" (requests)
    std::string value;    // what a write carries or a reply gives
    std::string failure;  // "time-out", "checksum error", "wrong hash", "module error: …", "line error"
    double reply_ms = -1;
    std::string bytes;  // printable: other characters as \xNN, the carriage return as \r
};

// The address width (8 or 11 bits) in use on the line, asked for each frame: an 11-bit address whose low
// three bits are 0 looks like an 8-bit one on the wire.
using AddressWidth = std::function<int()>;

// Turns frames into lines; remembers the last request to judge its reply by. Without an address width a
// frame is taken for 11-bit only when it carries high address bits.
class FrameDecoder {
  public:
    explicit FrameDecoder(const FrameNames& names, AddressWidth address_width = {})
        : names_(names), address_width_(std::move(address_width)) {}
    TraceLine decode(const TapFrame& frame);

  private:
    int address_of(const Bytes& frame) const;

    const FrameNames& names_;
    AddressWidth address_width_;
    std::optional<std::chrono::steady_clock::time_point> origin_;
    std::uint16_t request_hash_ = 0;
    std::string request_name_;
    int request_index_ = -1;
    std::optional<FrameNames::Entry> request_entry_;
    // What an answer to the last request repeats of it: its address and the end of its data.
    int request_address_ = 255;
    Bytes request_tail_;
};

// "12.345 TX addr=16 FiLt:2 read bytes=#…\r": stable fields, one line per frame. Every field is escaped
// (\n, \r, \", \\, \xNN for other control characters), so a module's text never splits a line.
std::string trace_text(const TraceLine& line);

// `--trace[:FILE]`: decodes each frame as it passes and writes its line at once (to standard error when
// no file is given), so a job that hangs still leaves its trace.
class TraceWriter : public FrameTap {
  public:
    // nullptr: standard error. The writer owns a file it was given.
    TraceWriter(const FrameNames& names, std::FILE* file, AddressWidth address_width = {});
    ~TraceWriter() override;
    void frame(const TapFrame& frame) override;

  private:
    std::mutex mutex_;
    FrameDecoder decoder_;
    std::FILE* file_;
};

}  // namespace varda
