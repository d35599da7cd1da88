#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace varda {

// The parity codes a port setting holds; the settings store and the files keep these numbers. 0 and 3 both
// mean none.
namespace parity_code {
inline constexpr int kNoneOld = 0;
inline constexpr int kEven = 1;
inline constexpr int kMark = 2;
inline constexpr int kNone = 3;
inline constexpr int kOdd = 4;
inline constexpr int kSpace = 5;
}  // namespace parity_code

// Who switches the RS-485 direction, as the port setting holds it (kept as these numbers).
namespace adapter_mode {
inline constexpr int kByRts = 0;  // "Semi-auto (QA-5)": the direction follows RTS
inline constexpr int kAuto = 1;   // the adapter switches it itself
}  // namespace adapter_mode

// The configurator's port settings, with the defaults of a new port.
struct PortSettings {
    std::string port_name = "COM1";  // a device path; "COMn" stands for /dev/ttyS{n-1}
    int baud_rate = 9600;
    int parity_code = parity_code::kNone;
    int stop_bits = 1;
    int data_bits = 8;
    int address_width = 8;
    int base_address = 16;
    int adapter_mode = adapter_mode::kAuto;
};

// The serial devices present, ":"-separated, empty when there are none.
std::string list_serial_ports();

// The same, read from the given tree laid out as /sys/class/tty. A ttyS with no UART behind it
// (sysfs "type" 0, or TIOCGSERIAL saying unknown when sysfs does not tell) is left out.
std::string list_serial_ports(const std::filesystem::path& sys_class_tty);

// The link in by_id_dir (/dev/serial/by-id) that resolves to device_path, empty when none does.
std::string serial_by_id_path(std::string_view device_path,
                              const std::filesystem::path& by_id_dir = "/dev/serial/by-id");

// The path to keep for a device the user picked: its by-id link when udev made one, since that name
// survives re-plugging and a changed order of adapters; the path itself otherwise.
std::string stable_port_path(std::string_view device_path,
                             const std::filesystem::path& by_id_dir = "/dev/serial/by-id");

// How a port is named in a list: "FTDI USB-RS485 Cable (/dev/ttyUSB0)" for an adapter with a by-id
// link (given either by its device or by its link), "... (not connected)" for a link whose adapter is
// gone, the path itself for every other port.
std::string serial_port_label(std::string_view path,
                              const std::filesystem::path& by_id_dir = "/dev/serial/by-id");

// The product name in a by-id link's name: "usb-FTDI_USB-RS485_Cable_FT1A2B3C-if00-port0" gives
// "FTDI USB-RS485 Cable" (bus, serial number and interface dropped).
std::string by_id_product_name(std::string_view link_name);

// "COMn" stands for /dev/ttyS{n-1}; anything else is taken as a device path.
std::string port_device_path(std::string_view port_name);

}  // namespace varda
