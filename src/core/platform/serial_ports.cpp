#include "core/platform/serial_ports.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <vector>

namespace varda {

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// "ttyS2" before "ttyS10": runs of digits compare by their value.
bool natural_less(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (is_digit(a[i]) && is_digit(b[j])) {
            std::size_t ie = i;
            std::size_t je = j;
            while (ie < a.size() && is_digit(a[ie]))
                ++ie;
            while (je < b.size() && is_digit(b[je]))
                ++je;
            // Leading zeros carry no value; then the longer run is the larger number.
            std::size_t is = i;
            std::size_t js = j;
            while (is + 1 < ie && a[is] == '0')
                ++is;
            while (js + 1 < je && b[js] == '0')
                ++js;
            if (ie - is != je - js) return ie - is < je - js;
            const int order = a.compare(is, ie - is, b, js, je - js);
            if (order != 0) return order < 0;
            i = ie;
            j = je;
        } else {
            if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            ++i;
            ++j;
        }
    }
    if (i < a.size() || j < b.size()) return j < b.size();
    return a < b;  // equal under the natural order ("ttyS01" and "ttyS1"): any fixed order will do
}

}  // namespace

std::string list_serial_ports() {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::string> names;
    fs::directory_iterator it(fs::path("/sys/class/tty"), ec);
    if (ec) return {};
    for (const fs::directory_iterator done; it != done; it.increment(ec)) {
        if (ec) return {};
        // Only ttys backed by hardware (a UART, a USB adapter, ...) have a device link; consoles,
        // virtual terminals and pseudo-terminals do not.
        if (!fs::is_symlink(it->path() / "device", ec)) continue;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end(), natural_less);
    std::string list;
    for (const std::string& name : names) {
        if (!list.empty()) list += ':';
        list += "/dev/" + name;
    }
    return list;
}

std::string port_device_path(std::string_view port_name) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (port_name.size() > 3 && lower(port_name[0]) == 'c' && lower(port_name[1]) == 'o' &&
        lower(port_name[2]) == 'm') {
        const std::string_view digits = port_name.substr(3);
        unsigned long number = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (ec == std::errc() && end == digits.data() + digits.size() && number > 0 && is_digit(digits[0])) {
            return "/dev/ttyS" + std::to_string(number - 1);
        }
    }
    return std::string(port_name);
}

}  // namespace varda
