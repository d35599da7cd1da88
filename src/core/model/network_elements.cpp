#include "core/model/network_elements.h"

#include <sys/utsname.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/platform/serial_ports.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"

#ifndef VARDA_VERSION
#define VARDA_VERSION ""
#endif

namespace varda {
namespace {

constexpr int kStringBaudRate = 187;
constexpr int kStringDataBits = 188;
constexpr int kStringParity = 189;
constexpr int kStringStopBits = 190;
constexpr int kStringAddressBits = 191;
constexpr int kStringAddress = 192;
constexpr int kStringParityNames = 206;
constexpr int kStringSerialPort = 209;
constexpr int kStringVersion = 440;
constexpr int kStringCopyright = 449;
constexpr int kStringOperatingSystem = 450;
constexpr int kStringUnknown = 451;

constexpr const char* kProductName = "Varda";
constexpr const char* kCopyright = "Copyright (C) KEST";
constexpr const char* kInvalidValue = "<неверное значение>";

// Parity codes of the port for the value names None, Even and Odd of "PrtY".
constexpr std::array<int, 3> kParityCodes = {3, 1, 4};

// The decimal integer a text starts with, as atoi reads it (leading blanks, a sign), saturated to the
// range of int; none when there are no digits.
std::optional<int> leading_int(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int number_or_zero(std::string_view text) {
    return leading_int(text).value_or(0);
}

std::string replace_all(std::string text, std::string_view what, std::string_view with) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// n for "/dev/ttySn": the serial port that the alias "COM(n+1)" names.
std::optional<int> tty_s_number(std::string_view path) {
    constexpr std::string_view kPrefix = "/dev/ttyS";
    if (!path.starts_with(kPrefix) || path.size() == kPrefix.size()) return std::nullopt;
    const std::string_view digits = path.substr(kPrefix.size());
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    return leading_int(digits);
}

// The port's parity code for the value of "PrtY" when it names one of the value names None, Even, Odd.
std::optional<int> parity_code_of(const Parameter& parity) {
    for (std::size_t k = 0; k < kParityCodes.size(); ++k)
        if (platform::iequals(parity.value_text(), parity.item_text(static_cast<int>(k))))
            return kParityCodes[k];
    return std::nullopt;
}

Parameter& add_parameter(ObjectWithParameters& element, std::string network_name, int description,
                         std::string data_type, std::string initial_value) {
    auto parameter = std::make_unique<Parameter>(std::move(network_name));
    parameter->description = std::string(str(description));
    parameter->set_data_type(std::move(data_type));
    parameter->initial_value_text = std::move(initial_value);
    parameter->writable = true;
    parameter->attributes_flag = 0;
    return element.AddParameter(std::move(parameter));
}

// Whether a protocol value text selects a protocol other than the first one (Ravelin): the element's
// "Prot" parameter encodes it to a first data byte other than 0. A value that cannot be encoded, or an
// element without "Prot", does not count as foreign.
bool is_foreign_protocol(const ObjectWithParameters& element, std::string_view protocol) {
    const Parameter* prot = element.FindOwnParameter("Prot");
    if (!prot) return false;
    MyConverter probe(*prot);  // only the codec, so the parameter itself stays untouched
    probe.SetValueText(std::string(protocol));
    std::vector<std::uint8_t> data;
    probe.ConvertToData(data);
    return !data.empty() && data.front() != 0;
}

}  // namespace

const ProgramInfo& program_info() {
    static const ProgramInfo info{kProductName, VARDA_VERSION, kCopyright};
    return info;
}

std::string operating_system_text() {
    utsname names{};
    if (uname(&names) != 0) return "Linux";
    std::string text;
    for (const char* part : {names.sysname, names.release, names.machine}) {
        if (*part == '\0') continue;
        if (!text.empty()) text += ' ';
        text += part;
    }
    return text.empty() ? "Linux" : text;
}

namespace Elements {

// ---- NetRS485 -----------------------------------------------------------------------------------

NetRS485::NetRS485() : NetRS485("Сетевые параметры прибора") {}

NetRS485::NetRS485(std::string name) : InvisibleElement(std::move(name)) {
    NetRS485::InitParameters();
}

void NetRS485::InitParameters() {
    ObjectWithParameters::InitParameters();
    add_parameter(*this, "bPS", kStringBaudRate, "2400:4800:9600:14400:19200:28800:38400:57600:115200",
                  "9600");
    add_parameter(*this, "LEn", kStringDataBits, "7:8", "8");
    Parameter& parity = add_parameter(*this, "PrtY", kStringParity, std::string(str(kStringParityNames)), {});
    parity.initial_value_text = parity.item_text(0);
    add_parameter(*this, "Sbit", kStringStopBits, "1:2", "1");
    add_parameter(*this, "A.Len", kStringAddressBits, "8:11", "8");
    add_parameter(*this, "Addr", kStringAddress, "int", "16");
}

std::string NetRS485::DefaultName() const {
    return "Сеть RS-485";
}

// ---- NetRS485prg --------------------------------------------------------------------------------

NetRS485prg::NetRS485prg(SettingsStore& store) : NetRS485("Сетевые параметры программы"), store_(store) {
    NetRS485prg::InitParameters();
}

NetRS485prg::~NetRS485prg() {
    SaveSettings();
}

void NetRS485prg::InitParameters() {
    NetRS485::InitParameters();
    add_parameter(*this, "Port", kStringSerialPort, list_serial_ports(), {});
    LoadSettings();
    for (auto& parameter : parameters)
        parameter->attributes_flag = 0;
    ClearModified();
}

void NetRS485prg::LoadSettings() {
    const auto stored = [&](std::string_view value_name, int fallback) {
        return store_.get_int(kSettingsGroup, value_name).value_or(fallback);
    };
    SetValue("Addr", std::to_string(stored("address", 16)));
    SetValue("A.Len", std::to_string(stored("address_length", 8)));
    SetValue("bPS", std::to_string(stored("baud_rate", 9600)));
    SetValue("LEn", std::to_string(stored("byte_size", 8)));
    SetValue("Sbit", std::to_string(stored("stop_bits", 1)));

    if (const Parameter* parity = FindOwnParameter("PrtY")) {
        const int code = stored("parity_scheme", kParityCodes[0]);
        const auto known = std::find(kParityCodes.begin(), kParityCodes.end(), code);
        SetValue("PrtY", known == kParityCodes.end()
                             ? std::string(kInvalidValue)
                             : parity->item_text(static_cast<int>(known - kParityCodes.begin())));
    }

    // The device path when one was kept; older settings know only the number of a "COMn" port.
    const std::optional<std::string> path = store_.get_string(kSettingsGroup, "port");
    SetValue("Port", path && !path->empty() ? *path : "COM" + std::to_string(stored("port_number", 1)));
}

void NetRS485prg::SaveSettings() const {
    const auto save_number = [&](std::string_view network_name, std::string_view value_name) {
        const Parameter* parameter = FindOwnParameter(network_name);
        if (!parameter) return;
        // A text without a number (e.g. "no data") would store 0 and break the next start.
        if (const auto number = leading_int(parameter->value_text()))
            store_.set_int(kSettingsGroup, value_name, *number);
    };
    save_number("Addr", "address");
    save_number("A.Len", "address_length");
    save_number("bPS", "baud_rate");
    save_number("LEn", "byte_size");
    save_number("Sbit", "stop_bits");

    if (const Parameter* parity = FindOwnParameter("PrtY"))
        if (const auto code = parity_code_of(*parity)) store_.set_int(kSettingsGroup, "parity_scheme", *code);

    if (const Parameter* port = FindOwnParameter("Port")) {
        const std::string& text = port->value_text();
        if (const auto number = leading_int(replace_all(text, "COM", ""))) {
            // "COMn" (or a bare n): the number, and the device path that alias stands for.
            store_.set_int(kSettingsGroup, "port_number", *number);
            store_.set_string(kSettingsGroup, "port", port_device_path("COM" + std::to_string(*number)));
        } else if (text.find("://") != std::string::npos) {
            store_.set_string(kSettingsGroup, "port", text);  // a network gateway
        } else if (text.starts_with('/')) {
            // An adapter is kept by its by-id link, which survives re-plugging.
            store_.set_string(kSettingsGroup, "port", stable_port_path(text));
            if (const auto n = tty_s_number(text); n && *n < INT_MAX)
                store_.set_int(kSettingsGroup, "port_number", *n + 1);
        }
    }
}

// ---- CommonParams -------------------------------------------------------------------------------

CommonParams::CommonParams(SettingsStore& store)
    : InvisibleElement("Сервисные параметры программы"), store_(store) {
    CommonParams::InitParameters();
}

std::string CommonParams::DefaultName() const {
    return "Сервисные параметры программы";
}

void CommonParams::InitParameters() {
    ObjectWithParameters::InitParameters();
    // Blank network names: these values are never sent to a module.
    Parameter& version = add_parameter(*this, " ", kStringVersion, "unknown", {});
    Parameter& copyright = add_parameter(*this, "  ", kStringCopyright, "unknown", {});
    Parameter& system = add_parameter(*this, "   ", kStringOperatingSystem, "unknown", {});
    system.SetValueText(std::string(str(kStringUnknown)));
    for (auto& parameter : parameters) {
        parameter->writable = false;
        parameter->access_attribute = false;
    }

    // Without a version the first two keep "no data".
    const ProgramInfo& info = program_info();
    if (!info.version.empty()) {
        version.SetValueText(replace_all(info.version, ", ", "."));
        copyright.SetValueText(info.copyright);
        store_.set_string(kDevicesGroup, "name", info.product_name);
        store_.set_string(kDevicesGroup, "version", info.version);
    }
    system.SetValueText(operating_system_text());
    ClearModified();
}

}  // namespace Elements

// ---- Consistency checks -------------------------------------------------------------------------

bool CheckAddressSetting(const ObjectWithParameters& element, std::string_view network_name,
                         std::string_view new_value, const AddressValidator& is_valid_address) {
    if (platform::iequals(network_name, "Addr")) {
        const int address = number_or_zero(new_value);
        if (address == kBroadcastAddress) return false;
        const std::string address_length = element.GetValueText("A.Len");
        const bool wide = number_or_zero(address_length) == 11 || address < 256;
        const bool protocol_allows =
            address < 256 || !is_foreign_protocol(element, element.GetValueText("Prot"));
        return wide && protocol_allows && (!is_valid_address || is_valid_address(address, address_length));
    }
    if (platform::iequals(network_name, "A.Len"))
        return number_or_zero(new_value) == 11 || number_or_zero(element.GetValueText("Addr")) < 256;
    if (platform::iequals(network_name, "Prot"))
        return !is_foreign_protocol(element, new_value) || number_or_zero(element.GetValueText("Addr")) < 256;
    return true;
}

bool CheckFrameSetting(const ObjectWithParameters& element, std::string_view network_name,
                       std::string_view new_value) {
    const auto value_of = [&](std::string_view name) {
        return platform::iequals(network_name, name) ? std::string(new_value) : element.GetValueText(name);
    };
    MyConverter parity_names;
    const Parameter* parity_parameter = element.FindOwnParameter("PrtY");
    parity_names.set_data_type(parity_parameter ? parity_parameter->data_type()
                                                : std::string(str(kStringParityNames)));
    const std::optional<int> parity = parity_names.item_index(value_of("PrtY"));
    const int data_bits = number_or_zero(value_of("LEn"));
    const int stop_bits = number_or_zero(value_of("Sbit"));

    if ((parity == 1 || parity == 2) && data_bits == 8 && stop_bits == 2) return false;
    if (parity == 0 && data_bits == 7 && stop_bits == 1) return false;
    return true;
}

// ---- Port settings ------------------------------------------------------------------------------

void load_port_settings(const Elements::NetRS485prg& network, PortSettings& settings,
                        bool model_has_data_bits) {
    const auto load_number = [&](std::string_view network_name, int& setting) {
        if (const Parameter* parameter = network.FindOwnParameter(network_name))
            if (const auto number = leading_int(parameter->value_text())) setting = *number;
    };
    if (const Parameter* port = network.FindOwnParameter("Port"); port && !port->value_text().empty())
        settings.port_name = port->value_text();
    load_number("bPS", settings.baud_rate);
    load_number("Addr", settings.base_address);
    load_number("A.Len", settings.address_width);
    if (model_has_data_bits)
        load_number("LEn", settings.data_bits);
    else
        settings.data_bits = 8;
    load_number("Sbit", settings.stop_bits);

    if (const Parameter* parity = network.FindOwnParameter("PrtY"))
        if (const auto code = parity_code_of(*parity)) settings.parity_code = *code;
}

}  // namespace varda
