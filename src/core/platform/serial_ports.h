#pragma once

#include <string>
#include <string_view>

namespace varda {

// The configurator's port settings, with the defaults of a new port.
struct PortSettings {
    std::string port_name = "COM1";  // a device path; "COMn" stands for /dev/ttyS{n-1}
    int baud_rate = 9600;
    int parity_code = 3;  // 0 or 3 none, 1 even, 2 mark, 4 odd, 5 space
    int stop_bits = 1;
    int data_bits = 8;
    int address_width = 8;
    int base_address = 16;
    int adapter_mode = 1;  // 1 automatic direction control ("Auto"), 0 RTS ("Semi-auto (QA-5)")
};

// The serial devices present, ":"-separated, empty when there are none.
std::string list_serial_ports();

// "COMn" stands for /dev/ttyS{n-1}; anything else is taken as a device path.
std::string port_device_path(std::string_view port_name);

}  // namespace varda
