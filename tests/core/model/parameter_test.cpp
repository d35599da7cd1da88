#include "core/model/parameter.h"

#include <gtest/gtest.h>

#include "core/platform/events.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

struct AcceptCase {
    const char* name;
    const char* type;
    double minimum, maximum;
    const char* typed;
    bool accepted;
    const char* stored;  // the value text afterwards when accepted
};

TEST(AcceptValue, RangeAndFormatRules) {
    const AcceptCase cases[] = {
        {"x", "float", 0, 100, "100.0005", true, "100.001"},
        {"x", "float", 0, 100, "-0.0009", true, "-0.001"},
        {"x", "float", 0, 100, "100.001", false, nullptr},
        {"x", "float", 0, 100, "100.0009", false, nullptr},
        {"x", "float", 0, 0, "-12345.5", true, "-12345.500"},
        {"x", "STORED_DOT", 0, 10, "2.25", true, "2.250"},
        {"x", "stored_dot", 0, 10, "10.5", false, nullptr},
        {"x", "float", 0, 0, "abc", false, nullptr},
        {"x", "float", 0, 0, "1.5 mA", true, "1.500"},
        {"x", "int", 0, 0, "12", true, "12"},
        {"x", "int", 0, 0, " 12", true, " 12"},
        {"x", "int", 0, 0, "12x", false, nullptr},
        {"x", "int", 0, 0, "12.5", false, nullptr},
        {"x", "int", 0, 0, "12.000001", true, "12.000001"},
        {"x", "int", 0, 0, "", false, nullptr},
        {"x", "int", 0, 0, "1e3", true, "1e3"},
        {"x", "int", 0, 0, "0x10", false, nullptr},
        {"x", "int", 0, 0, "12,0", false, nullptr},   // a decimal comma only for real numbers
        {"x", "int", 0, 0, "70000", false, nullptr},  // beyond the type's 16 bits
        {"x", "int", 0, 0, "-1", false, nullptr},
        {"x", "int16", 0, 0, "-1", true, "-1"},
        {"x", "float", 0, 100, "1,5", true, "1.500"},
        {"x", "stored_dot", 0, 0, "56,4", true, "56.400"},
        {"x", "stored_dot", 0, 0, "268435.456", false, nullptr},  // too large for the format
        {"x", "float", 0, 0, "nan", false, nullptr},
        {"x", "float", 0, 0, "inf", false, nullptr},
        {"x", "int16", 1, 247, "248", false, nullptr},
        {"x", "INT16", 1, 247, "247", true, "247"},
        {"x", "int", 1, 247, "0", false, nullptr},
        {"x", "CLK_frm", 0, 0, "1h", false, nullptr},
        {"x", "CLK_frm", 0, 0, "00:30", true, "00:30"},
        {"x", "CLK_frm", 0, 800, "12:34", true, "12:34"},  // 754
        {"x", "CLK_frm", 0, 724, "12:5", false, nullptr},  // 725
        {"x", "CLK_frm", 0, 725, "12:5", true, "12:5"},
        {"CHAr*", "int", 0, 0, "r.oE", true, "r.oE"},
        {"char*", "int", 0, 0, "ab-c", true, "ab-c"},
        {"CHAr*", "int", 0, 0, "A.B.C.D.", true, "A.B.C.D."},
        {"CHAr*", "int", 0, 0, "abcde", false, nullptr},
        {"CHAr*", "int", 0, 0, "", false, nullptr},
        {"CHAr*", "int", 0, 0, "a*", false, nullptr},
        {"CHAr*", "int", 0, 0, "a..", false, nullptr},
        {"x", "string", 0, 0, "anything at all", true, "anything at all"},
        {"x", "None:Even:Odd", 0, 0, "whatever", true, "whatever"},
    };
    for (const auto& c : cases) {
        Parameter p(c.name);
        p.set_data_type(c.type);
        p.set_limits(c.minimum, c.maximum);
        EXPECT_EQ(p.AcceptValue(c.typed), c.accepted) << c.type << " '" << c.typed << "'";
        EXPECT_EQ(p.value_modified, c.accepted) << c.type << " '" << c.typed << "'";
        EXPECT_EQ(p.value_text(), c.accepted ? c.stored : "no data") << c.type << " '" << c.typed << "'";
    }
}

// One reading decides both whether a typed number is taken and what goes on the wire.
TEST(AcceptValue, WhatIsAcceptedIsWhatIsSent) {
    struct Case {
        const char* type;
        const char* typed;
        std::vector<std::uint8_t> sent;  // empty: refused, and not encodable either
    };
    const Case cases[] = {
        {"int", "1e3", {0x03, 0xE8}},
        {"int", "0x10", {}},
        {"int", "70000", {}},
        {"int", "12.5", {}},
        {"int16", "300", {0x01, 0x2C}},
        {"float", "1,5", {0x3F, 0xC0, 0x00, 0x00}},
        {"float", "inf", {}},
        {"stored_dot", "56.4", {0x12, 0x34}},
        {"stored_dot", "268435.456", {}},
    };
    for (const auto& c : cases) {
        Parameter p("x");
        p.set_data_type(c.type);
        const bool accepted = p.AcceptValue(c.typed);
        EXPECT_EQ(accepted, !c.sent.empty()) << c.type << " '" << c.typed << "'";
        if (!accepted) p.SetValueText(c.typed);  // as a configuration file would bring it
        std::vector<std::uint8_t> data;
        EXPECT_EQ(p.ConvertToData(data),
                  accepted ? MyConverter::EncodeResult::Encoded : MyConverter::EncodeResult::NotEncodable)
            << c.type << " '" << c.typed << "'";
        EXPECT_EQ(data, c.sent) << c.type << " '" << c.typed << "'";
    }
}

TEST(AcceptValue, FullPrecisionKeepsSixDecimals) {
    Parameter p("x");
    p.set_data_type("float");
    ASSERT_TRUE(p.AcceptValue("1.2345678", true));
    EXPECT_EQ(p.value_text(), "1.234568");
}

TEST(ParameterState, ConstructionAndReset) {
    Parameter p("Addr");
    EXPECT_EQ(p.description, "<unknown parameter>");
    EXPECT_EQ(p.value_text(), "no data");
    EXPECT_EQ(p.data_type(), "unknown");
    EXPECT_EQ(p.Hash(), 0x9F62);

    p.indexed = true;
    p.network_index = 3;
    p.address_offset = -1;
    p.value_modified = p.access_modified = p.user_modified = true;
    p.error_text = "Time-out error";
    p.writable = false;
    p.attributes_flag = 1;
    p.access_attribute = false;
    p.user_attribute = true;
    p.SetValueText("5");
    p.Reset();
    EXPECT_FALSE(p.indexed);
    EXPECT_EQ(p.network_index, 0);
    EXPECT_EQ(p.address_offset, 0);
    EXPECT_FALSE(p.value_modified || p.access_modified || p.user_modified);
    EXPECT_TRUE(p.error_text.empty());
    EXPECT_TRUE(p.writable);
    EXPECT_EQ(p.attributes_flag, 0);
    EXPECT_TRUE(p.access_attribute);
    EXPECT_FALSE(p.user_attribute);
    EXPECT_EQ(p.value_text(), "no data");
}

TEST(ParameterState, TypeTextIds) {
    struct Case {
        const char* type;
        int id;
    };
    for (const auto& c : {Case{"float", 318}, Case{"INT", 319}, Case{"int16", 467}, Case{"stored_dot", 468},
                          Case{"string", 0}, Case{"A:B", 0}}) {
        Parameter p("x");
        p.set_data_type(c.type);
        EXPECT_EQ(p.TypeTextId(), c.id) << c.type;
    }
}

TEST(ParameterState, DestroyingAnOutputParameterEmptiesItsSlot) {
    Parameter* slot = nullptr;
    {
        auto p = std::make_unique<Parameter>("POUt");
        slot = p.get();
        p->set_output_slot(&slot);
    }
    EXPECT_EQ(slot, nullptr);
}

TEST(Scanner, TimerStartsAndStops) {
    Parameter p("rEAd");
    p.network_index = 2;
    p.indexed = true;
    p.period = 30ms;
    ASSERT_TRUE(p.MakeScanner());
    EXPECT_EQ(p.address_offset, 2);
    EXPECT_FALSE(p.indexed);

    EXPECT_EQ(p.StopTimer(), 1);  // not running
    EXPECT_EQ(p.StartTimer(), 0);
    EXPECT_EQ(p.StartTimer(), 1);  // already running
    EXPECT_TRUE(p.timer_running());
    EXPECT_TRUE(p.timer()->running());
    for (int tick = 0; tick < 2; ++tick)
        EXPECT_EQ(platform::wait_any({p.timer()}, 2s), 0);
    EXPECT_EQ(p.StopTimer(), 0);
    EXPECT_FALSE(p.timer()->running());
    EXPECT_EQ(platform::wait_any({p.timer()}, 100ms), platform::kWaitTimeout);
}

}  // namespace
}  // namespace varda
