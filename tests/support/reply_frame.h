#pragma once

#include <cstdint>
#include <string>

#include "core/protocol/frame_codec.h"

namespace varda::testing {

// A reply frame as a module at `address` sends it, with the address width in use and the read/write flag
// it repeats.
inline std::string reply_frame(int address, int width, std::uint16_t hash, const Bytes& data,
                               bool read = false) {
    const bool wide = width == 11;
    Bytes raw{static_cast<std::uint8_t>(wide ? address >> 3 : address),
              static_cast<std::uint8_t>((wide ? (address & 7) << 5 : 0) | (read ? 0x10 : 0) | data.size()),
              static_cast<std::uint8_t>(hash >> 8), static_cast<std::uint8_t>(hash)};
    raw.insert(raw.end(), data.begin(), data.end());
    const std::uint16_t sum = hash_buffer(raw);
    raw.push_back(static_cast<std::uint8_t>(sum >> 8));
    raw.push_back(static_cast<std::uint8_t>(sum));
    return "#" + encode_buffer(raw) + "\r";
}

}  // namespace varda::testing
