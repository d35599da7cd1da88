#include "core/app/plant/plant_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace varda {
namespace {
namespace fs = std::filesystem;

class PlantFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "varda-plant-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fs::create_directories(folder_ / "templates");
        std::ofstream(folder_ / "templates" / "vk03-pumps.json") << "{}";
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path write(const std::string& text) {
        const fs::path file = folder_ / "plant.toml";
        std::ofstream(file) << text;
        return file;
    }

    fs::path folder_;
};

TEST_F(PlantFolder, APlantFileGivesItsLinesAndModules) {
    const fs::path file = write(R"(# cabinet A first
[[line]]
name = "Cabinet A"
port = "/dev/serial/by-id/usb-FTDI_USB-RS485_Cable-if00-port0"
baud = 19200
prty = "even"

[[line.module]]
address = 16
model = "VK03"
tag = "Pump 3 inputs"
template = "templates/vk03-pumps.json"
set = { "t.out" = "5", "FiLt:0" = 20, "k" = 1.5 }

[[line.module]]
address = 17
model = "vk20"

[[line]]
name = "Gateway"
port = "tcp://10.0.0.7:4001"
alen = 11

[[line.module]]
address = 300
model = "VK18"
)");
    const PlantRead read = read_plant_file(file);
    ASSERT_TRUE(read.ok()) << read.errors.front();
    ASSERT_EQ(read.plant.lines.size(), 2u);

    const PlantLine& cabinet = read.plant.lines[0];
    EXPECT_EQ(cabinet.name, "Cabinet A");
    EXPECT_EQ(cabinet.settings.port, "/dev/serial/by-id/usb-FTDI_USB-RS485_Cable-if00-port0");
    EXPECT_EQ(cabinet.settings.baud_rate, 19200);
    EXPECT_EQ(cabinet.settings.parity_item(), "Even");
    ASSERT_EQ(cabinet.modules.size(), 2u);
    const PlantModule& pump = cabinet.modules[0];
    EXPECT_EQ(pump.address, 16);
    EXPECT_EQ(pump.model_index, 3);
    EXPECT_EQ(pump.tag, "Pump 3 inputs");
    EXPECT_EQ(pump.template_file, folder_ / "templates" / "vk03-pumps.json");
    using Value = std::pair<std::string, std::string>;
    EXPECT_EQ(pump.values, (std::vector<Value>{{"t.out", "5"}, {"FiLt:0", "20"}, {"k", "1.5"}}));
    EXPECT_EQ(pump.source_line, 8);
    EXPECT_EQ(cabinet.modules[1].model_index, 20);

    const PlantLine& gateway = read.plant.lines[1];
    EXPECT_EQ(gateway.settings.port, "tcp://10.0.0.7:4001");
    EXPECT_EQ(gateway.settings.address_length, 11);
    EXPECT_EQ(gateway.settings.baud_rate, 0);  // left to the stored settings
    EXPECT_EQ(gateway.modules[0].address, 300);
}

// Each mistake is reported with the file, its line and what to write instead, and nothing of it is taken.
TEST_F(PlantFolder, EveryMistakeNamesItsLineAndTheFix) {
    const std::string line_head = "[[line]]\nname = \"A\"\nport = \"/dev/ttyUSB0\"\n";
    const std::string module_head = "[[line.module]]\naddress = 16\nmodel = \"VK03\"\n";
    struct Case {
        std::string text;
        std::string expected;  // part of the one error
    };
    const Case cases[] = {
        {"[[line]\nname = \"A\"\n", "plant.toml:1: "},
        {"", "no [[line]]"},
        {"[[line]]\nname = \"A\"\n" + module_head, "plant.toml:1: line \"A\" has no port — add port ="},
        {line_head + "baud = 12345\n" + module_head,
         "plant.toml:4: baud = 12345: the baud rate must be one of"},
        {line_head + "prty = \"mark\"\n" + module_head,
         "plant.toml:4: prty = mark: the parity must be even, odd or no"},
        {line_head + "speed = 9600\n" + module_head,
         "plant.toml:4: unknown key \"speed\" in a line — the keys are"},
        {line_head, "plant.toml:1: line \"A\" has no modules"},
        {line_head + "[[line.module]]\naddress = 255\nmodel = \"VK03\"\n",
         "plant.toml:5: address 255: 255 is the broadcast address"},
        {line_head + "[[line.module]]\naddress = 300\nmodel = \"VK03\"\n",
         "plant.toml:5: address 300: with 8-bit addresses the address must be 0 to 254"},
        {line_head + "[[line.module]]\naddress = \"16\"\nmodel = \"VK03\"\n",
         "plant.toml:5: the address must be a whole number"},
        {line_head + "[[line.module]]\naddress = 16\nmodel = \"VK99\"\n",
         "plant.toml:6: unknown model \"VK99\" — write the model's code, VK00 to VK22"},
        {line_head + "[[line.module]]\nmodel = \"VK03\"\n", "plant.toml:4: a module without an address"},
        {line_head + "[[line.module]]\naddress = 16\n", "plant.toml:4: a module without a model"},
        {line_head + module_head + "template = \"templates/missing.json\"\n",
         "plant.toml:7: template \"templates/missing.json\" not found"},
        {line_head + module_head + "template = \"templates/notes.txt\"\n",
         "plant.toml:7: template \"templates/notes.txt\": not a configuration"},
        {line_head + module_head + "set = { \"FiLt:x\" = 1 }\n",
         "plant.toml:7: \"FiLt:x\" is not a parameter"},
        {line_head + module_head + "set = { \"FiLt\" = [1, 2] }\n", "the value must be a number or a text"},
        {line_head + module_head + "colour = \"red\"\n", "plant.toml:7: unknown key \"colour\" in a module"},
        {line_head + module_head + module_head, "plant.toml:7: address 16 is already planned at line 4"},
        {line_head + module_head + "[[line]]\nname = \"a\"\nport = \"/dev/ttyUSB1\"\n" + module_head,
         "plant.toml:7: a second line named \"a\""},
        {line_head + module_head + "[[line]]\nname = \"B\"\nport = \"/dev/ttyUSB0\"\n" + module_head,
         "plant.toml:7: port /dev/ttyUSB0 is already the port of line \"A\""},
        {"title = \"x\"\n" + line_head + module_head, "plant.toml:1: unknown key \"title\""},
    };
    for (const Case& c : cases) {
        const PlantRead read = read_plant_file(write(c.text));
        ASSERT_EQ(read.errors.size(), 1u) << c.text << "\n" << (read.errors.empty() ? "" : read.errors[0]);
        EXPECT_NE(read.errors[0].find(c.expected), std::string::npos) << read.errors[0];
        EXPECT_EQ(read.errors[0].rfind(folder_.string(), 0), 0u) << read.errors[0];
    }
}

// The module table a spreadsheet keeps: rows join their [[line]] by name; empty cells set nothing.
TEST_F(PlantFolder, ModulesComeFromASpreadsheetTable) {
    std::ofstream(folder_ / "modules.csv")
        << "\xEF\xBB\xBFline;address;model;tag;template;t.out;FiLt:0\n"
           "Cabinet A;16;VK03;\"Pump 3; inputs\";templates/vk03-pumps.json;5;\n"
           "\n"
           "cabinet a;17;VK20;;;;20\n";
    const fs::path file =
        write("modules = \"modules.csv\"\n[[line]]\nname = \"Cabinet A\"\nport = \"/dev/ttyUSB0\"\n");
    const PlantRead read = read_plant_file(file);
    ASSERT_TRUE(read.ok()) << read.errors.front();
    const std::vector<PlantModule>& modules = read.plant.lines.at(0).modules;
    ASSERT_EQ(modules.size(), 2u);
    using Value = std::pair<std::string, std::string>;
    EXPECT_EQ(modules[0].address, 16);
    EXPECT_EQ(modules[0].tag, "Pump 3; inputs");
    EXPECT_EQ(modules[0].template_file, folder_ / "templates" / "vk03-pumps.json");
    EXPECT_EQ(modules[0].values, (std::vector<Value>{{"t.out", "5"}}));
    EXPECT_EQ(modules[1].model_index, 20);
    EXPECT_EQ(modules[1].values, (std::vector<Value>{{"FiLt:0", "20"}}));
    EXPECT_EQ(modules[1].source_line, 4);

    struct Case {
        std::string table;
        std::string expected;
    };
    const Case cases[] = {
        {"line,address,model\nCabinet B,16,VK03\n", "modules.csv:2: line \"Cabinet B\" is not a [[line]]"},
        {"line,address,model\nCabinet A,x,VK03\n", "modules.csv:2: the address must be a whole number"},
        {"line,address,model\nCabinet A,16,VK03\nCabinet A,16,VK04\n",
         "modules.csv:3: address 16 is already planned"},
        {"line,address\nCabinet A,16\n", "modules.csv:1: no \"model\" column"},
        {"line,address,model,colour?:x\n", "modules.csv:1: column \"colour?:x\" is not a parameter"},
        {"line,address,model,tag\nCabinet A,16,VK03,\"open\n",
         "modules.csv:2: a quoted cell is never closed"},
    };
    for (const Case& c : cases) {
        std::ofstream(folder_ / "modules.csv", std::ios::trunc) << c.table;
        const PlantRead bad = read_plant_file(file);
        ASSERT_EQ(bad.errors.size(), 1u) << c.table << (bad.errors.empty() ? "" : bad.errors[0]);
        EXPECT_NE(bad.errors[0].find(c.expected), std::string::npos) << bad.errors[0];
    }
}

TEST_F(PlantFolder, AMissingPlantFileIsNamed) {
    const PlantRead read = read_plant_file(folder_ / "nowhere.toml");
    ASSERT_EQ(read.errors.size(), 1u);
    EXPECT_NE(read.errors[0].find("nowhere.toml: no such plant file"), std::string::npos);
}

}  // namespace
}  // namespace varda
