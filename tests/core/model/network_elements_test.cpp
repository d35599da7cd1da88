#include "core/model/network_elements.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/link/sio.h"
#include "core/platform/settings_store.h"

namespace varda {
namespace {

using Elements::CommonParams;
using Elements::InvisibleElement;
using Elements::NetRS485;
using Elements::NetRS485prg;

constexpr const char* kInvalidParity = "<неверное значение>";

std::vector<std::string> network_names(const ObjectWithParameters& element) {
    std::vector<std::string> names;
    for (const auto& p : element.parameters)
        names.push_back(p->network_name());
    return names;
}

TEST(NetworkElements, NamesImagesAndModuleParameters) {
    MemorySettingsStore store;
    const NetRS485 module;
    const NetRS485prg program(store);
    const CommonParams common(store);
    struct Case {
        const InvisibleElement& element;
        const char* name;
        const char* default_name;
        int image;
    };
    for (const Case& c :
         {Case{module, "Сетевые параметры прибора", "Сеть RS-485", 4},
          Case{program, "Сетевые параметры программы", "Сеть RS-485", 19},
          Case{common, "Сервисные параметры программы", "Сервисные параметры программы", 20}}) {
        EXPECT_EQ(c.element.name, c.name);
        EXPECT_EQ(c.element.DefaultName(), c.default_name);
        EXPECT_EQ(c.element.ImageIndexOf(), c.image);
        EXPECT_EQ(c.element.SelectedImageIndexOf(), c.image);
        EXPECT_EQ(c.element.ChangeState(), 0) << c.name;
    }

    EXPECT_EQ(network_names(module),
              (std::vector<std::string>{"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr"}));
    EXPECT_EQ(network_names(program),
              (std::vector<std::string>{"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr", "Port"}));
    struct Expected {
        const char* description;
        const char* type;
        const char* initial;
    };
    const Expected expected[] = {
        {"Baudrate", "2400:4800:9600:14400:19200:28800:38400:57600:115200", "9600"},
        {"Data bits", "7:8", "8"},
        {"Parity", "None:Even:Odd", "None"},
        {"Stop bits", "1:2", "1"},
        {"Address bits", "8:11", "8"},
        {"Address", "int", "16"},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const Parameter& p = *module.parameters[i];
        EXPECT_EQ(p.description, expected[i].description);
        EXPECT_EQ(p.data_type(), expected[i].type);
        EXPECT_EQ(p.initial_value_text, expected[i].initial);
        EXPECT_TRUE(p.writable);
        EXPECT_EQ(p.attributes_flag, 0);
    }
    const Parameter& port = *program.parameters.back();
    EXPECT_EQ(port.description, "Serial port");
    EXPECT_EQ(port.data_type(), list_serial_ports());
    EXPECT_TRUE(port.writable);
}

// ---- Consistency checks -------------------------------------------------------------------------

// A module's network element, optionally with a protocol parameter.
std::unique_ptr<NetRS485> module_network(const char* address_length, const char* address,
                                         const char* protocol) {
    auto element = std::make_unique<NetRS485>();
    element->SetValue("A.Len", address_length);
    element->SetValue("Addr", address);
    if (protocol) {
        Parameter& prot = element->AddParameter(std::make_unique<Parameter>("Prot"));
        prot.set_data_type("Ravelin:Modbus_RTU");
        prot.SetValueText(protocol);
    }
    return element;
}

TEST(CheckAddressSetting, ProhibitsWideAddressesWithoutElevenBitsOrRavelin) {
    struct Case {
        const char* address_length;
        const char* address;
        const char* protocol;  // nullptr: the element has no "Prot"
        const char* edited;
        const char* new_value;
        bool model_accepts;
        bool accepted;
    };
    const Case cases[] = {
        {"8", "16", nullptr, "Addr", "300", true, false},
        {"8", "16", nullptr, "addr", "255", true, false},  // the broadcast address is no module's
        {"11", "16", nullptr, "Addr", "300", true, true},
        {"11", "16", nullptr, "Addr", "300", false, false},
        {"8", "16", nullptr, "Addr", "20", false, false},
        {"11", "16", "Ravelin", "Addr", "300", true, true},
        {"11", "16", "Modbus_RTU", "Addr", "300", true, false},
        {"11", "16", "Modbus RTU", "ADDR", "254", true, true},
        {"11", "16", "Ravelin", "Addr", "255", true, false},
        {"11", "300", nullptr, "A.Len", "8", true, false},
        {"11", "300", nullptr, "a.len", "11", true, true},
        {"11", "255", nullptr, "A.Len", "8", true, true},
        {"11", "300", "Ravelin", "Prot", "Modbus_RTU", true, false},
        {"11", "300", "Modbus_RTU", "prot", "Ravelin", true, true},
        {"8", "255", "Ravelin", "Prot", "Modbus_RTU", true, true},
        {"11", "300", "Ravelin", "Prot", "no data", true, true},  // not a protocol value: not foreign
        {"8", "300", nullptr, "bPS", "300", false, true},
    };
    for (const Case& c : cases) {
        const auto element = module_network(c.address_length, c.address, c.protocol);
        const AddressValidator model = [&](long, std::string_view) { return c.model_accepts; };
        EXPECT_EQ(CheckAddressSetting(*element, c.edited, c.new_value, model), c.accepted)
            << "A.Len " << c.address_length << ", Addr " << c.address << ", Prot "
            << (c.protocol ? c.protocol : "-") << ": " << c.edited << " = " << c.new_value;
    }
}

TEST(CheckAddressSetting, AsksTheModelWithTheAddressLengthAndAcceptsWithoutOne) {
    const auto element = module_network("11", "16", nullptr);
    long seen_address = -1;
    std::string seen_length;
    CheckAddressSetting(*element, "Addr", "1000", [&](long address, std::string_view length) {
        seen_address = address;
        seen_length = std::string(length);
        return true;
    });
    EXPECT_EQ(seen_address, 1000);
    EXPECT_EQ(seen_length, "11");
    EXPECT_TRUE(CheckAddressSetting(*element, "Addr", "1000"));
}

TEST(CheckFrameSetting, ProhibitsTheTwoUnusableFrames) {
    struct Case {
        const char* parity;
        const char* data_bits;
        const char* stop_bits;
        const char* edited;
        const char* new_value;
        bool accepted;
    };
    const Case cases[] = {
        {"None", "8", "2", "Sbit", "1", true},    {"None", "7", "2", "Sbit", "1", false},
        {"None", "8", "1", "LEn", "7", false},    {"None", "7", "1", "PrtY", "Even", true},
        {"Even", "8", "1", "sbit", "2", false},   {"Odd", "8", "1", "Sbit", "2", false},
        {"Even", "7", "1", "Sbit", "2", true},    {"Even", "7", "2", "LEn", "8", false},
        {"None", "8", "2", "prty", "odd", false}, {"Odd", "7", "1", "PrtY", "None", false},
        {"None", "7", "2", "Sbit", "2", true},
    };
    for (const Case& c : cases) {
        NetRS485 element;
        element.SetValue("PrtY", c.parity);
        element.SetValue("LEn", c.data_bits);
        element.SetValue("Sbit", c.stop_bits);
        EXPECT_EQ(CheckFrameSetting(element, c.edited, c.new_value), c.accepted)
            << c.parity << " " << c.data_bits << " " << c.stop_bits << ": " << c.edited << " = "
            << c.new_value;
    }
}

// ---- The configurator's settings ----------------------------------------------------------------

TEST(NetRS485prg, DefaultsWhenTheStoreIsEmpty) {
    MemorySettingsStore store;
    const NetRS485prg network(store);
    EXPECT_EQ(network.GetValueText("Addr"), "16");
    EXPECT_EQ(network.GetValueText("A.Len"), "8");
    EXPECT_EQ(network.GetValueText("bPS"), "9600");
    EXPECT_EQ(network.GetValueText("LEn"), "8");
    EXPECT_EQ(network.GetValueText("Sbit"), "1");
    EXPECT_EQ(network.GetValueText("PrtY"), "None");
    EXPECT_EQ(network.GetValueText("Port"), "COM1");
}

TEST(NetRS485prg, ReadsTheStoredValues) {
    MemorySettingsStore store;
    store.set_int(kSettingsGroup, "address", 300);
    store.set_int(kSettingsGroup, "address_length", 11);
    store.set_int(kSettingsGroup, "baud_rate", 19200);
    store.set_int(kSettingsGroup, "byte_size", 7);
    store.set_int(kSettingsGroup, "stop_bits", 2);
    store.set_int(kSettingsGroup, "port_number", 5);
    {
        const NetRS485prg network(store);
        EXPECT_EQ(network.GetValueText("Addr"), "300");
        EXPECT_EQ(network.GetValueText("A.Len"), "11");
        EXPECT_EQ(network.GetValueText("bPS"), "19200");
        EXPECT_EQ(network.GetValueText("LEn"), "7");
        EXPECT_EQ(network.GetValueText("Sbit"), "2");
        EXPECT_EQ(network.GetValueText("Port"), "COM5");
        EXPECT_EQ(network.ChangeState(), 0);
    }
    // A kept device path wins over the number.
    store.set_string(kSettingsGroup, "port", "/dev/ttyUSB0");
    EXPECT_EQ(NetRS485prg(store).GetValueText("Port"), "/dev/ttyUSB0");
}

TEST(NetRS485prg, ParitySchemeCodes) {
    struct Case {
        int stored;
        const char* shown;
    };
    for (const Case& c : {Case{1, "Even"}, Case{3, "None"}, Case{4, "Odd"}, Case{2, kInvalidParity},
                          Case{0, kInvalidParity}}) {
        MemorySettingsStore store;
        store.set_int(kSettingsGroup, "parity_scheme", c.stored);
        { EXPECT_EQ(NetRS485prg(store).GetValueText("PrtY"), c.shown) << c.stored; }
        // Written back unchanged, and an unknown code is not replaced.
        EXPECT_EQ(store.get_int(kSettingsGroup, "parity_scheme"), c.stored);
    }
}

TEST(NetRS485prg, SavesItsValuesWhenDestroyed) {
    MemorySettingsStore store;
    {
        NetRS485prg network(store);
        network.SetValue("Addr", "247");
        network.SetValue("A.Len", "11");
        network.SetValue("bPS", "115200");
        network.SetValue("LEn", "7");
        network.SetValue("Sbit", "2");
        network.SetValue("PrtY", "Odd");
    }
    EXPECT_EQ(store.get_int(kSettingsGroup, "address"), 247);
    EXPECT_EQ(store.get_int(kSettingsGroup, "address_length"), 11);
    EXPECT_EQ(store.get_int(kSettingsGroup, "baud_rate"), 115200);
    EXPECT_EQ(store.get_int(kSettingsGroup, "byte_size"), 7);
    EXPECT_EQ(store.get_int(kSettingsGroup, "stop_bits"), 2);
    EXPECT_EQ(store.get_int(kSettingsGroup, "parity_scheme"), 4);

    // A value that is not a number keeps what the store had.
    { NetRS485prg(store).SetValue("Addr", "no data"); }
    EXPECT_EQ(store.get_int(kSettingsGroup, "address"), 247);
}

TEST(NetRS485prg, SavesThePortAndReadsItBack) {
    struct Case {
        const char* port;
        std::optional<int> port_number;   // none: the earlier number stays
        std::optional<std::string> path;  // none: nothing kept
        const char* read_back;
    };
    const Case cases[] = {
        {"COM12", 12, "/dev/ttyS11", "/dev/ttyS11"},
        {"COM1", 1, "/dev/ttyS0", "/dev/ttyS0"},
        {"/dev/ttyS3", 4, "/dev/ttyS3", "/dev/ttyS3"},
        {"/dev/ttyUSB0", std::nullopt, "/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/serial/by-id/usb-adapter-port0", std::nullopt, "/dev/serial/by-id/usb-adapter-port0",
         "/dev/serial/by-id/usb-adapter-port0"},
        {"ttyUSB0", std::nullopt, std::nullopt, "COM7"},
    };
    for (const Case& c : cases) {
        MemorySettingsStore store;
        store.set_int(kSettingsGroup, "port_number", 7);
        { NetRS485prg(store).SetValue("Port", c.port); }
        EXPECT_EQ(store.get_int(kSettingsGroup, "port_number"), c.port_number.value_or(7)) << c.port;
        EXPECT_EQ(store.get_string(kSettingsGroup, "port"), c.path) << c.port;
        EXPECT_EQ(NetRS485prg(store).GetValueText("Port"), c.read_back) << c.port;
    }
}

TEST(SettingsStore, ProcessWideStoreCanBeReplaced) {
    MemorySettingsStore mine;
    set_settings_store(&mine);
    settings_store().set_int(kSettingsGroup, "address", 42);
    settings_store().set_string(kDevicesGroup, "address", "text");
    set_settings_store(nullptr);
    EXPECT_EQ(mine.get_int(kSettingsGroup, "address"), 42);
    EXPECT_EQ(mine.get_string(kSettingsGroup, "address"), std::nullopt);  // an integer, not a string
    EXPECT_EQ(mine.get_string(kDevicesGroup, "address"), "text");
    EXPECT_NE(&settings_store(), &mine);
}

// ---- Service parameters -------------------------------------------------------------------------

TEST(CommonParams, VersionCopyrightAndOperatingSystem) {
    MemorySettingsStore store;
    const CommonParams common(store);
    ASSERT_EQ(network_names(common), (std::vector<std::string>{" ", "  ", "   "}));
    const Parameter& version = *common.parameters[0];
    const Parameter& copyright = *common.parameters[1];
    const Parameter& system = *common.parameters[2];
    EXPECT_EQ(version.description, "Version");
    EXPECT_EQ(copyright.description, "Copyright");
    EXPECT_EQ(system.description, "Operating system");

    EXPECT_EQ(version.value_text(), VARDA_VERSION);
    EXPECT_EQ(copyright.value_text(), program_info().copyright);
    EXPECT_FALSE(copyright.value_text().empty());
    EXPECT_FALSE(system.value_text().empty());
    EXPECT_NE(system.value_text(), "<unknown>");
    EXPECT_EQ(system.value_text(), operating_system_text());
    for (const auto& p : common.parameters) {
        EXPECT_FALSE(p->writable);
        EXPECT_EQ(p->attributes_flag, 0);
    }
    EXPECT_EQ(common.ChangeState(), 0);

    EXPECT_EQ(store.get_string(kDevicesGroup, "name"), "Varda");
    EXPECT_EQ(store.get_string(kDevicesGroup, "version"), VARDA_VERSION);
}

// ---- Port settings ------------------------------------------------------------------------------

TEST(LoadPortSettings, TakesTheProgramsNetworkValues) {
    MemorySettingsStore store;
    NetRS485prg network(store);
    network.SetValue("Port", "/dev/ttyUSB1");
    network.SetValue("bPS", "57600");
    network.SetValue("Addr", "300");
    network.SetValue("A.Len", "11");
    network.SetValue("LEn", "7");
    network.SetValue("Sbit", "2");

    struct Case {
        const char* parity;
        bool model_has_data_bits;
        int parity_code;  // from a starting code of 2 (mark)
        int data_bits;
    };
    for (const Case& c : {Case{"None", true, 3, 7}, Case{"Even", true, 1, 7}, Case{"odd", false, 4, 8},
                          Case{kInvalidParity, false, 2, 8}}) {
        network.SetValue("PrtY", c.parity);
        PortSettings settings;
        settings.parity_code = 2;
        settings.data_bits = 5;
        load_port_settings(network, settings, c.model_has_data_bits);
        EXPECT_EQ(settings.parity_code, c.parity_code) << c.parity;
        EXPECT_EQ(settings.data_bits, c.data_bits) << c.parity;
        EXPECT_EQ(settings.port_name, "/dev/ttyUSB1");
        EXPECT_EQ(settings.baud_rate, 57600);
        EXPECT_EQ(settings.base_address, 300);
        EXPECT_EQ(settings.address_width, 11);
        EXPECT_EQ(settings.stop_bits, 2);
        EXPECT_EQ(settings.adapter_mode, 1);
    }
}

}  // namespace
}  // namespace varda
