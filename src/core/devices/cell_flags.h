#pragma once

#include <cstdint>

namespace varda {

// Per-cell state flags of a table.
namespace cell_flags {
inline constexpr std::uint16_t kDisabled = 0x01;     // grey; the row cannot be selected; no editor, no action
inline constexpr std::uint16_t kRowNoEditor = 0x02;  // on any cell: no cell of the row opens an editor
inline constexpr std::uint16_t kReadOnly = 0x04;     // the cell opens no editor
inline constexpr std::uint16_t kRed = 0x08;
inline constexpr std::uint16_t kButton = 0x20;  // drawn as a push button; a click runs the cell action
inline constexpr std::uint16_t kGreen = 0x40;
}  // namespace cell_flags

}  // namespace varda
