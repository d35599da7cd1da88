#include <gtest/gtest.h>

#include "core/protocol/value_type.h"

namespace varda {
namespace {

using Items = std::vector<std::string>;

TEST(ValueType, ParsesEveryTypeText) {
    struct Case {
        const char* text;
        ValueKind kind;
        const char* name;
        Items items;
        int decimals = 0;
        const char* base_text = nullptr;  // nullptr: the text itself
    };
    const Case cases[] = {
        {"STORED_DOT", ValueKind::StoredDot, "STORED_DOT", {}},
        {"stored_dot:3", ValueKind::StoredDot, "stored_dot", {}, 3, "stored_dot"},
        {"float", ValueKind::Float, "float", {}},
        {"FLOAT:2", ValueKind::Float, "FLOAT", {}, 2, "FLOAT"},
        {"int", ValueKind::Int, "int", {}},
        {"int16:1", ValueKind::Int16, "int16", {}, 1, "int16"},
        {"CLK_frm:3", ValueKind::ClkFrm, "CLK_frm", {}, 3, "CLK_frm"},
        {"sint", ValueKind::Sint, "sint", {}},
        {"sint16", ValueKind::Sint16, "sint16", {}},
        {"string", ValueKind::String, "string", {}},
        {"asci", ValueKind::Asci, "asci", {}},
        {"name", ValueKind::Name, "name", {}},
        {"void", ValueKind::Void, "void", {}},
        {"2400:4800:9600", ValueKind::Enumeration, "2400", {"2400", "4800", "9600"}},
        {"None:Even:Odd", ValueKind::Enumeration, "None", {"None", "Even", "Odd"}},
        {"Нет:Да", ValueKind::Enumeration, "Нет", {"Нет", "Да"}},
        {"Modbus_RTU:DCON", ValueKind::Enumeration, "Modbus_RTU", {"Modbus_RTU", "DCON"}},
        // Decimals only as a description writes them; any other item after a type name is no list.
        {"float:4", ValueKind::Float, "float", {}},
        {"float:2:x", ValueKind::Float, "float", {}},
        {"float:02", ValueKind::Float, "float", {}},
        {"string:2", ValueKind::String, "string", {}},
        {"void:1", ValueKind::Void, "void", {}},
        // Malformed: a name that is no type, empty items, nothing at all.
        {"unknown", ValueKind::Unknown, "unknown", {}},
        {"DEC_dot", ValueKind::Unknown, "DEC_dot", {}},
        {"", ValueKind::Unknown, "", {}},
        {"a::b", ValueKind::Enumeration, "a", {"a", "", "b"}},
        {":int", ValueKind::Enumeration, "", {"", "int"}},
        {"Off:", ValueKind::Enumeration, "Off", {"Off", ""}},
        {":", ValueKind::Enumeration, "", {"", ""}},
    };
    for (const Case& c : cases) {
        const ValueType type(c.text);
        EXPECT_EQ(type.kind(), c.kind) << c.text;
        EXPECT_EQ(type.name(), c.name) << c.text;
        EXPECT_EQ(type.items(), c.items) << c.text;
        EXPECT_EQ(type.decimals(), c.decimals) << c.text;
        EXPECT_EQ(type.base_text(), c.base_text ? c.base_text : c.text) << c.text;
        EXPECT_EQ(type.text(), c.text);
    }
    EXPECT_EQ(ValueType().kind(), ValueKind::Unknown);
    EXPECT_EQ(ValueType().name(), "unknown");
}

TEST(ValueType, GroupsTheKindsAsTheEditorsAndRulesUseThem) {
    struct Case {
        const char* text;
        bool real, whole, number;
    };
    const Case cases[] = {
        {"float", true, false, true},    {"stored_dot", true, false, true}, {"int", false, true, true},
        {"int16", false, true, true},    {"CLK_frm", false, false, true},   {"sint16", false, false, false},
        {"string", false, false, false}, {"Off:On", false, false, false},   {"DEC_dot", false, false, false},
        {"float:2", true, false, true},
    };
    for (const Case& c : cases) {
        const ValueType type(c.text);
        EXPECT_EQ(type.is_real(), c.real) << c.text;
        EXPECT_EQ(type.is_whole(), c.whole) << c.text;
        EXPECT_EQ(type.is_number(), c.number) << c.text;
    }
    EXPECT_EQ(ValueType("int").whole_range().minimum, 0);
    EXPECT_EQ(ValueType("int").whole_range().maximum, 65535);
    EXPECT_EQ(ValueType("INT16").whole_range().minimum, -32768);
    EXPECT_EQ(ValueType("int16").whole_range().maximum, 65535);
}

TEST(ValueType, ItemsKeepTheirCodesAroundGapsAndHiddenNames) {
    const ValueType type("Off::Slow_ramp:<hide>Service:Fast:");
    EXPECT_EQ(type.code_of("off"), 0);
    EXPECT_EQ(type.code_of("slow ramp"), 2);  // "_" and space alike, any case
    EXPECT_EQ(type.code_of("SLOW_RAMP"), 2);
    EXPECT_EQ(type.code_of("<hide>Service"), 3);  // hidden from choosing, still a value
    EXPECT_EQ(type.code_of("Fast"), 4);
    EXPECT_EQ(type.code_of(""), std::nullopt);  // a gap has no name
    EXPECT_EQ(type.code_of("Slow"), std::nullopt);

    const auto choices = type.choices();
    ASSERT_EQ(choices.size(), 3u);
    EXPECT_EQ(choices[0].code, 0);
    EXPECT_EQ(choices[1].code, 2);
    EXPECT_EQ(choices[1].written, "Slow_ramp");
    EXPECT_EQ(choices[1].shown, "Slow ramp");
    EXPECT_EQ(choices[2].code, 4);

    // The first of two equal names answers.
    EXPECT_EQ(ValueType("a:b:A").code_of("a"), 0);
    // Only a list has items to name.
    EXPECT_EQ(ValueType("int").code_of("int"), std::nullopt);
    EXPECT_TRUE(ValueType("float:2").choices().empty());
}

TEST(ValueType, AListOfNamesIsAListEvenWithOneName) {
    const ValueType one = ValueType::list("/dev/ttyUSB0");
    EXPECT_EQ(one.kind(), ValueKind::Enumeration);
    EXPECT_EQ(one.items(), Items{"/dev/ttyUSB0"});
    EXPECT_EQ(ValueType::list("int:float").items(), (Items{"int", "float"}));
    EXPECT_EQ(ValueType::list("").items(), Items{""});
    EXPECT_TRUE(ValueType::list("").choices().empty());
}

}  // namespace
}  // namespace varda
