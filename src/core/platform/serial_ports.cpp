#include "core/platform/serial_ports.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>
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

// The kernel registers a ttyS for every possible 8250 port whether a UART answers there or not;
// those without one report type 0 (PORT_UNKNOWN) and cannot be opened for any use.
bool has_no_uart(const std::filesystem::path& tty_dir, const std::string& name) {
    if (name.rfind("ttyS", 0) != 0) return false;
    std::ifstream type_file(tty_dir / "type");
    std::string type;
    if (type_file >> type) return type == "0";
    // Older kernels have no "type" attribute: ask the driver. A port we may not open stays listed.
    const int fd = ::open(("/dev/" + name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    const bool unknown = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
    ::close(fd);
    return unknown;
}

}  // namespace

std::string list_serial_ports() {
    return list_serial_ports("/sys/class/tty");
}

std::string list_serial_ports(const std::filesystem::path& sys_class_tty) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::string> names;
    fs::directory_iterator it(sys_class_tty, ec);
    if (ec) return {};
    for (const fs::directory_iterator done; it != done; it.increment(ec)) {
        if (ec) return {};
        // Only ttys backed by hardware (a UART, a USB adapter, ...) have a device link; consoles,
        // virtual terminals and pseudo-terminals do not.
        if (!fs::is_symlink(it->path() / "device", ec)) continue;
        std::string name = it->path().filename().string();
        if (has_no_uart(it->path(), name)) continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), natural_less);
    std::string list;
    for (const std::string& name : names) {
        if (!list.empty()) list += ':';
        list += "/dev/" + name;
    }
    return list;
}

std::string serial_by_id_path(std::string_view device_path, const std::filesystem::path& by_id_dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path device = fs::canonical(fs::path(device_path), ec);
    if (ec) return {};
    std::vector<std::string> links;
    fs::directory_iterator it(by_id_dir, ec);
    if (ec) return {};
    for (const fs::directory_iterator done; it != done; it.increment(ec)) {
        if (ec) return {};
        std::error_code link_ec;
        if (fs::canonical(it->path(), link_ec) == device && !link_ec) links.push_back(it->path().string());
    }
    // One adapter may have several names (one per interface); the first in order is stable.
    if (links.empty()) return {};
    return *std::min_element(links.begin(), links.end());
}

std::string stable_port_path(std::string_view device_path, const std::filesystem::path& by_id_dir) {
    std::string link = serial_by_id_path(device_path, by_id_dir);
    return link.empty() ? std::string(device_path) : link;
}

std::string by_id_product_name(std::string_view name) {
    if (const auto dash = name.find('-'); dash != std::string_view::npos && dash < 8 &&
                                          name.substr(0, dash).find('_') == std::string_view::npos)
        name.remove_prefix(dash + 1);  // the bus: "usb-", "pci-"
    // The interface: "-if00", "-if00-port0".
    if (const auto iface = name.rfind("-if"); iface != std::string_view::npos) name = name.substr(0, iface);
    std::vector<std::string_view> words;
    for (std::size_t start = 0; start <= name.size();) {
        std::size_t end = name.find('_', start);
        if (end == std::string_view::npos) end = name.size();
        if (end > start) words.push_back(name.substr(start, end - start));
        start = end + 1;
    }
    // udev joins vendor, model and serial number; a last word with digits after two others is the serial.
    const auto has_digit = [](std::string_view word) {
        return std::any_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (words.size() >= 3 && has_digit(words.back())) words.pop_back();
    std::string product;
    for (const auto word : words) {
        if (!product.empty()) product += ' ';
        product += word;
    }
    return product;
}

std::string serial_port_label(std::string_view path, const std::filesystem::path& by_id_dir) {
    namespace fs = std::filesystem;
    const fs::path given(path);
    std::error_code ec;
    if (given.parent_path() == by_id_dir) {
        const fs::path device = fs::canonical(given, ec);
        const std::string product = by_id_product_name(given.filename().string());
        return ec ? product + " (not connected)" : product + " (" + device.string() + ")";
    }
    const std::string link = serial_by_id_path(path, by_id_dir);
    if (link.empty()) return std::string(path);
    const fs::path device = fs::canonical(given, ec);
    return by_id_product_name(fs::path(link).filename().string()) + " (" +
           (ec ? std::string(path) : device.string()) + ")";
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
