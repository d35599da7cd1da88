#pragma once

#include <optional>

#include "core/link/serial_backend.h"

namespace varda::sim {

// A pseudo-terminal clears the parity-enable flag a program sets (and forces 8 data bits): it keeps only
// whether the parity was odd, so even parity and none cannot be told apart.
inline constexpr int kParityNoneOrEven = -1;

// The character format a program set on its side of a terminal (baud rate, parity, data and stop bits),
// read with termios2 so that a rate set as a number (14400, 28800) is read as well; the parity code is
// kParityNoneOrEven when the terminal cannot tell. nullopt when it cannot be read.
std::optional<LineSettings> terminal_line(int fd);

}  // namespace varda::sim
