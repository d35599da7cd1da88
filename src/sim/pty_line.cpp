#include "sim/pty_line.h"

// termios2 comes from the kernel's headers, which clash with glibc's <termios.h>: this file must never
// include <termios.h>, directly or through another header.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace varda::sim {

std::optional<LineSettings> terminal_line(int fd) {
    termios2 tio{};
    if (fd < 0 || ::ioctl(fd, TCGETS2, &tio) != 0) return std::nullopt;
    LineSettings line;
    line.baud_rate = static_cast<int>(tio.c_ospeed);
    if (!(tio.c_cflag & PARENB))
        line.parity_code = tio.c_cflag & PARODD ? 4 : kParityNoneOrEven;
    else if (tio.c_cflag & CMSPAR)
        line.parity_code = tio.c_cflag & PARODD ? 2 : 5;
    else
        line.parity_code = tio.c_cflag & PARODD ? 4 : 1;
    switch (tio.c_cflag & CSIZE) {
        case CS5:
            line.data_bits = 5;
            break;
        case CS6:
            line.data_bits = 6;
            break;
        case CS7:
            line.data_bits = 7;
            break;
        default:
            line.data_bits = 8;
    }
    line.stop_bits = tio.c_cflag & CSTOPB ? 2 : 1;
    return line;
}

}  // namespace varda::sim
