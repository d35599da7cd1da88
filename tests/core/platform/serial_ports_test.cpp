#include "core/platform/serial_ports.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "core/app/tree/table_edit.h"
#include "core/model/parameter.h"

namespace varda {
namespace {

namespace fs = std::filesystem;

class TempTree : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "varda-ports-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    // A tty as sysfs shows it: a device link when hardware is behind it, and the UART type when given.
    void add_tty(const std::string& name, bool device, const char* type = nullptr) {
        const fs::path dir = root / "tty" / name;
        fs::create_directories(dir);
        if (device) fs::create_directory_symlink(root, dir / "device");
        if (type) std::ofstream(dir / "type") << type << '\n';
    }

    fs::path root;
};

TEST_F(TempTree, PortListLeavesOutTtysWithoutAUart) {
    add_tty("ttyS0", true, "4");
    add_tty("ttyS1", true, "0");  // registered by the driver, no chip behind it
    add_tty("ttyS10", true, "4");
    add_tty("ttyS2", true, "4");
    add_tty("ttyUSB0", true);
    add_tty("ttyACM0", true, "0");  // only ttyS ports report a UART type that matters
    add_tty("tty0", false);
    add_tty("console", false);
    EXPECT_EQ(list_serial_ports(root / "tty"), "/dev/ttyACM0:/dev/ttyS0:/dev/ttyS2:/dev/ttyS10:/dev/ttyUSB0");
}

TEST_F(TempTree, PortListIsEmptyWithoutPorts) {
    add_tty("ttyS0", true, "0");
    add_tty("tty1", false);
    EXPECT_EQ(list_serial_ports(root / "tty"), "");
    EXPECT_EQ(list_serial_ports(root / "missing"), "");
}

TEST_F(TempTree, ByIdNameIsTheLinkThatReachesTheDevice) {
    const fs::path dev = root / "dev";
    const fs::path by_id = dev / "serial" / "by-id";
    fs::create_directories(by_id);
    std::ofstream(dev / "ttyUSB0").put('\0');
    std::ofstream(dev / "ttyUSB1").put('\0');
    std::ofstream(dev / "ttyUSB2").put('\0');
    // udev writes relative links.
    fs::create_symlink("../../ttyUSB0", by_id / "usb-FTDI_USB-RS485_Cable_FT1A2B3C-if00-port0");
    fs::create_symlink("../../ttyUSB1", by_id / "usb-Prolific_PL2303-if00-port0");
    fs::create_symlink("../../ttyUSB9", by_id / "usb-Unplugged_Adapter-if00-port0");

    EXPECT_EQ(serial_by_id_path((dev / "ttyUSB0").string(), by_id),
              (by_id / "usb-FTDI_USB-RS485_Cable_FT1A2B3C-if00-port0").string());
    EXPECT_EQ(serial_by_id_path((dev / "ttyUSB1").string(), by_id),
              (by_id / "usb-Prolific_PL2303-if00-port0").string());
    EXPECT_EQ(serial_by_id_path((dev / "ttyUSB2").string(), by_id), "");  // no link names it
    EXPECT_EQ(serial_by_id_path((dev / "ttyUSB9").string(), by_id), "");  // a stale link
    EXPECT_EQ(serial_by_id_path((dev / "ttyUSB0").string(), root / "no-such-dir"), "");
    // A by-id path given back names itself.
    EXPECT_EQ(serial_by_id_path((by_id / "usb-Prolific_PL2303-if00-port0").string(), by_id),
              (by_id / "usb-Prolific_PL2303-if00-port0").string());
}

TEST(SerialPortNames, ProductNameOfAByIdLink) {
    const struct {
        const char* link;
        const char* product;
    } cases[] = {
        {"usb-FTDI_USB-RS485_Cable_FT1A2B3C-if00-port0", "FTDI USB-RS485 Cable"},
        {"usb-Prolific_PL2303-if00-port0", "Prolific PL2303"},  // two words: no serial number to drop
        {"usb-1a86_USB_Serial-if00-port0", "1a86 USB Serial"},  // the last word has no digit
        {"usb-MOXA_UPort_1150_TAQ0B1234567-if00", "MOXA UPort 1150"},
        {"pci-Some_Board_Serial", "Some Board Serial"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(by_id_product_name(c.link), c.product) << c.link;
}

TEST_F(TempTree, AdaptersAreListedByProductAndKeptByTheirLink) {
    const fs::path dev = root / "dev";
    const fs::path by_id = dev / "serial" / "by-id";
    fs::create_directories(by_id);
    std::ofstream(dev / "ttyUSB0").put('\0');
    std::ofstream(dev / "ttyS0").put('\0');
    const std::string link = (by_id / "usb-FTDI_USB-RS485_Cable_FT1A2B3C-if00-port0").string();
    fs::create_symlink("../../ttyUSB0", link);
    const std::string usb = (dev / "ttyUSB0").string();
    const std::string uart = (dev / "ttyS0").string();

    EXPECT_EQ(serial_port_label(usb, by_id), "FTDI USB-RS485 Cable (" + usb + ")");
    EXPECT_EQ(serial_port_label(link, by_id), "FTDI USB-RS485 Cable (" + usb + ")");
    EXPECT_EQ(serial_port_label(uart, by_id), uart);
    EXPECT_EQ(stable_port_path(usb, by_id), link);
    EXPECT_EQ(stable_port_path(uart, by_id), uart);

    // The dialog's list: names shown, links committed, the kept link selected.
    Parameter port("Port");
    port.set_data_type(uart + ":" + usb);
    port.SetValueText(link);
    const TableEditor editor = port_editor(port, uart + ":" + usb, by_id);
    EXPECT_EQ(editor.items, (std::vector<std::string>{uart, "FTDI USB-RS485 Cable (" + usb + ")"}));
    EXPECT_EQ(editor.values, (std::vector<std::string>{uart, link}));
    EXPECT_EQ(editor.selected, 1);

    // Unplugged: the kept link still names the adapter.
    fs::remove(dev / "ttyUSB0");
    EXPECT_EQ(serial_port_label(link, by_id), "FTDI USB-RS485 Cable (not connected)");
}

}  // namespace
}  // namespace varda
