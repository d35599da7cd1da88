#include <gtest/gtest.h>

#include "core/platform/numbers.h"
#include "core/protocol/model_formatting.h"
#include "core/protocol/my_converter.h"

namespace varda {
namespace {

using Bytes = std::vector<std::uint8_t>;

MyConverter converter(const char* name, const char* type, const char* value = "") {
    MyConverter c(name);
    c.set_data_type(type);
    c.SetValueText(value);
    return c;
}

struct WriteCase {
    const char* name;
    const char* type;
    const char* value;
    int result;
    Bytes data;
    int decimals = 0;
};

TEST(ConvertToData, EncodesByTypeAndName) {
    const WriteCase cases[] = {
        {"x", "STORED_DOT", "1.5", 1, {0x10, 0x0F}},
        {"x", "stored_dot", "-1.5", 1, {0x90, 0x0F}},
        {"x", "STORED_DOT", "1234.5", 1, {0x10, 0x30, 0x39}},
        {"x", "STORED_DOT", "0", 1, {0x00, 0x00}},
        {"x", "STORED_DOT", "12.345", 1, {0x30, 0x30, 0x39}},
        {"x", "STORED_DOT", "1048.576", 1, {0x30, 0x10, 0x00, 0x00}},  // m = 2^20 takes four bytes
        {"x", "STORED_DOT", "1.5", 1, {0x20, 0x96}, 2},                // fixed decimals
        {"x", "STORED_DOT", "2.5", 1, {0x39, 0xC4}, 7},                // decimals clamp to 3
        {"x", "STORED_DOT", "268435.456", 0, {}},                      // m >= 2^28 must not spill
        {"x", "STORED_DOT", "nan", 0, {}},
        {"x", "int", "300", 1, {0x01, 0x2C}},
        {"x", "int", "5", 1, {0x05}},
        // An integer is read as Parameter::AcceptValue reads it: what it refuses is never sent.
        {"x", "int", "12 mA", 0, {}},
        {"x", "int", "abc", 0, {}},
        {"x", "int", "", 0, {}},
        {"x", "int", "1e3", 1, {0x03, 0xE8}},
        {"x", "int", "12.000001", 1, {0x0C}},
        {"x", "int", "0x10", 0, {}},
        {"x", "int", "12,0", 0, {}},
        {"x", "int", "65535", 1, {0xFF, 0xFF}},
        {"x", "int", "70000", 0, {}},  // beyond 16 bits
        {"x", "int", "-1", 0, {}},     // read back unsigned
        {"x", "int16", "-1", 1, {0xFF, 0xFF}},
        {"x", "int16", "-32769", 0, {}},
        {"Addr", "int", "5", 1, {0x00, 0x05}},
        {"CLB.K", "int", "1", 1, {0x00, 0x01}},
        {"x", "int16", "5", 1, {0x00, 0x05}},
        {"x", "float", "1.0", 1, {0x3F, 0x80, 0x00, 0x00}},
        {"x", "float", "1,5", 1, {0x3F, 0xC0, 0x00, 0x00}},  // a Russian keyboard's decimal comma
        {"x", "STORED_DOT", "56,4", 1, {0x12, 0x34}},
        {"x", "float", "nan", 0, {}},
        {"x", "float", "-inf", 0, {}},
        {"x", "float", "abc", 0, {}},
        {"r.oe", "float", "1.0", 1, {0x3F, 0x80, 0x00}},
        {"x", "CLK_frm", "12:34", 1, {0x02, 0xF2}},
        {"x", "CLK_frm", "1:00:00", 1, {0x0E, 0x10}},
        {"x", "CLK_frm", "1:5", 1, {0x0B}},
        {"tHP", "CLK_frm", "1:5", 1, {0x00, 0x0B}},
        {"x", "CLK_frm", "1h", -1, {}},
        {"x", "name", "ab.c", 1, {78, 24, 23, 20}},
        {"x", "name", "", -1, {}},
        {"x", "name", "ABCDEFGHI", -1, {}},
        {"x", "name", "a*", -1, {}},
        {"x", "void", "anything", 1, {}},
        {"x", "None:Even:Odd", "even", 1, {0x01}},
        {"x", "Не_задан:Включен", "не задан", 1, {0x00}},
        {"x", "None:Even:Odd", "Mark", 0, {}},
        // A gap keeps its code, so the item after it travels as its position; no text names a gap.
        {"x", "Off::Fast", "fast", 1, {0x02}},
        {"x", "Off::Fast", "", 0, {}},
        {"x", "Off:<hide>Service", "<hide>service", 1, {0x01}},
        // A type name with a further item is that type, never a list of its items.
        {"x", "float:4", "1", 1, {0x3F, 0x80, 0x00, 0x00}},
        {"x", "float:4", "float", 0, {}},
        {"x", "string", "abc", 0, {}},
        {"x", "ASCI", "abc", 0, {}},
        {"x", "sint", "-1", 0, {}},
        {"x", "sint16", "-1", 0, {}},
        {"x", "unknown", "unknown", 0, {}},
        {"dev", "string", "VK05", -1, {}},
        {"ver", "int", "1", -1, {}},
        {"exit", "void", "", -1, {}},
        {"U.Apl", "int", "7", 1, {}},
        {"UApl", "float", "7", 1, {}},
    };
    for (const auto& c : cases) {
        auto conv = converter(c.name, c.type, c.value);
        conv.set_decimals(c.decimals);
        Bytes data{0xEE};
        EXPECT_EQ(static_cast<int>(conv.ConvertToData(data)), c.result)
            << c.name << " " << c.type << " " << c.value;
        EXPECT_EQ(data, c.data) << c.name << " " << c.type << " " << c.value;
    }
}

TEST(ConvertToData, EnumerationSearchStopsAtItem126) {
    std::string type;
    for (int i = 0; i < 130; ++i)
        type += (i ? ":" : "") + std::string("i") + std::to_string(i);
    Bytes data;
    EXPECT_EQ(converter("x", type.c_str(), "i126").ConvertToData(data), MyConverter::EncodeResult::Encoded);
    EXPECT_EQ(data, Bytes{126});
    EXPECT_EQ(converter("x", type.c_str(), "i127").ConvertToData(data),
              MyConverter::EncodeResult::NotEncodable);
}

struct ReadCase {
    const char* name;
    const char* type;
    Bytes data;
    int result;
    const char* text;  // nullptr: the value text stays unchanged
};

TEST(ConvertFromData, DecodesByTypeAndName) {
    const ReadCase cases[] = {
        {"x", "STORED_DOT", {0x12, 0x34}, 1, "56.400"},
        {"x", "STORED_DOT", {0x90, 0x0F}, 1, "-1.500"},
        {"x", "STORED_DOT", {0x00, 0, 0, 0, 0, 0, 0, 0x07}, 1, "7.000"},
        {"x", "STORED_DOT", Bytes(9, 0), 0, nullptr},
        {"x", "float", {0x3F, 0x80, 0x00, 0x00}, 1, "1.000"},
        {"x", "float", {0x3F, 0xC0}, 1, "1.500"},  // completed with zero bytes
        {"r.oe", "float", {0x3F, 0xC0, 0x00}, 1, "1.500"},
        {"r.oe", "float", {0x3F, 0xC0, 0x00, 0x01}, 1, "1.500"},  // the lowest byte is taken as 0
        {"x", "float", {0xFF, 0xFF, 0xFF, 0xFF}, -1, "Invalid value"},
        {"x", "float", {0x7F, 0x80, 0x00, 0x00}, -1, "Invalid value"},
        {"x", "float", {0x7F, 0x7F, 0xFF, 0xFF}, 1, "340282346638528859811704183484516925440.000"},
        {"x", "int", {0x05}, 1, "5"},
        {"x", "int", {0xFF, 0xFF}, 1, "65535"},
        {"x", "int", {0x00, 0x01, 0x00, 0x00}, 1, "65536"},
        {"x", "int", {1, 2, 3}, -1, "Error \"Invalid response length: 3\""},
        {"x", "int16", {1, 2, 3, 4, 5}, -1, "Error \"Invalid response length: 5\""},
        {"x", "sint", {0xFF}, 1, "-1"},
        {"x", "sint16", {0xFF, 0xFE}, 1, "-2"},
        {"x", "sint", {0x80, 0x00, 0x01}, 1, "-128"},
        {"x", "sint", {1, 2, 3, 4, 5}, -1, "Error \"Invalid response length: 5\""},
        {"x", "CLK_frm", {0x02, 0xF2}, 1, "12:34"},
        {"x", "CLK_frm", {0x05}, 1, "00:05"},
        {"x", "CLK_frm", {1, 2, 3, 4, 5}, -1, "Error \"Invalid response length: 5\""},
        {"x", "string", {0x43, 0x42, 0x41}, 1, "ABC"},
        {"x", "ASCI", {0xC0, 0x41}, 1, "AА"},  // Windows-1251 text arrives as UTF-8
        {"dev", "int", {0x35, 0x30, 0x4B, 0x56}, 1, "VK05"},
        {"x", "name", {78, 24, 23, 20}, 1, "AB.C "},
        {"x", "name", {78, 24, 23, 20, 0, 0}, 1, "AB.C "},
        {"x", "name", {78, 24, 23}, -1, "Error \"Invalid response length: 3\""},
        {"x", "name", {78, 24, 23, 90}, -1, "Not allowed symbol in network name"},
        {"x", "void", {}, 1, ""},
        {"x", "void", {1, 2}, 1, ""},
        {"APLY", "int", {}, 1, ""},
        {"x", "int", {}, 0, nullptr},
        {"x", "None:Even:Odd", {0x02}, 1, "Odd"},
        {"x", "None:Even:Odd", {0x00, 0x01}, 1, "Even"},
        {"x", "None:Even:Odd", {0x03}, 0, nullptr},
        {"x", "Off::Fast", {0x02}, 1, "Fast"},
        {"x", "Off::Fast", {0x01}, 0, nullptr},  // a gap's code names no value
        {"x", "Off:", {0x01}, 0, nullptr},
        {"x", "Не_задан:Вкл", {0x00}, 1, "Не задан"},
        {"x", "unknown", {0x00}, 0, nullptr},
        {"bPS", "int", {0x08}, 1, "115200"},
        {"bPS", "int", {0x00, 0x04}, 1, "19200"},
        {"bPS", "int", {0x09}, 0, nullptr},
        {"PrtY", "No:Even:Odd:Mark", {0x02}, 1, "Odd"},
        {"PrtY", "No:Even:Odd:Mark", {0x03}, 0, nullptr},
        {"Sbit", "int", {0x01}, 1, "2"},
        {"Sbit", "int", {0x02}, 0, nullptr},
        {"Addr", "int", {0x10}, 1, "16"},
        {"Addr", "int", {0x01, 0x00, 0x07}, 1, "256"},
    };
    for (const auto& c : cases) {
        auto conv = converter(c.name, c.type, "before");
        EXPECT_EQ(static_cast<int>(conv.ConvertFromData(c.data)), c.result) << c.name << " " << c.type;
        EXPECT_EQ(conv.value_text(), c.text ? c.text : "before") << c.name << " " << c.type;
    }
}

class FixedModel : public ModelFormatting {
  public:
    bool decodes_measured_values() const override { return true; }
    std::string FormatFloat(float value) const override { return platform::fixed(value, 1); }
};

TEST(ConvertFromData, MeasuredValuesFollowTheModel) {
    const ModelFormatting* model = nullptr;
    auto read = [&model](const char* name, Bytes data) {
        auto conv = converter(name, "float", "before");
        const int result = static_cast<int>(conv.ConvertFromData(data, model));
        return std::pair{result, conv.value_text()};
    };
    // Without a model that decodes them, measured values read by type.
    EXPECT_EQ(read("rEAd", {0x3F, 0x80, 0x00, 0x00}), (std::pair{1, std::string("1.000")}));

    FixedModel fixed;
    model = &fixed;
    EXPECT_EQ(read("rEAd", {0xFD}), (std::pair{1, std::string("Sensor break")}));
    EXPECT_EQ(read("iRDt", {0xF1}), (std::pair{1, std::string("Calibration factors cannot be transformed")}));
    EXPECT_EQ(read("iRD", {0xFF, 0x38}), (std::pair{1, std::string("-200")}));
    EXPECT_EQ(read("rEAd", {0x00, 0x10, 0xAA, 0xBB}), (std::pair{1, std::string("16")}));
    EXPECT_EQ(read("rEAd", {0x41, 0x20, 0x00, 0x00, 0x00, 0x00}), (std::pair{1, std::string("10.0")}));
    EXPECT_EQ(read("rEAd", {1, 2, 3}), (std::pair{0, std::string("before")}));
}

TEST(ConvertFromData, CachesTheLastFloat) {
    auto conv = converter("x", "float");
    EXPECT_FALSE(conv.cached_float());
    conv.ConvertFromData(Bytes{0x40, 0x00, 0x00, 0x00});
    EXPECT_EQ(conv.cached_float(), 2.0f);
}

TEST(ItemText, EnumerationsAndPlainTypes) {
    const auto e = converter("x", "No_parity:Even:Odd");
    EXPECT_EQ(e.item_text(0), "No_parity");
    EXPECT_EQ(e.item_text(3), "no data");
    EXPECT_EQ(e.item_text(-1), "");
    EXPECT_EQ(converter("x", "int").item_text(7), "7");
    EXPECT_EQ(e.item_index("odd"), 2);
    EXPECT_EQ(e.item_index("no parity"), 0);
    EXPECT_FALSE(e.item_index("mark"));
    // Only a list has items: "float:4" is a float, its "4" no value name.
    EXPECT_EQ(converter("x", "float:4").item_text(1), "1");
    EXPECT_FALSE(converter("x", "float:4").item_index("float"));
    const auto gapped = converter("x", "a::b");
    EXPECT_EQ(gapped.item_text(1), "");
    EXPECT_EQ(gapped.item_text(2), "b");
    EXPECT_EQ(gapped.item_index("b"), 2);
    EXPECT_FALSE(gapped.item_index(""));
}

TEST(SetValueText, KeepsAtMost511BytesOnACharacterBoundary) {
    MyConverter c("x");
    c.SetValueText(std::string(600, 'a'));
    EXPECT_EQ(c.value_text().size(), 511u);
    std::string cyrillic;
    for (int i = 0; i < 300; ++i)
        cyrillic += "Ж";  // two bytes each
    c.SetValueText(cyrillic);
    EXPECT_EQ(c.value_text().size(), 510u);
}

}  // namespace
}  // namespace varda
