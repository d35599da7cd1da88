#include "core/platform/strings.h"

#include <string_view>

#include <gtest/gtest.h>

namespace varda {
namespace {

TEST(StringTable, KnownTexts) {
    struct Case {
        int id;
        std::string_view text;
    };
    // The first and last entries of the table are among them.
    for (const auto& c : {
             Case{130, "Configurator"},
             Case{154, " (only the first 10 are shown)"},
             Case{156, "read/write"},
             Case{157, "read-only"},
             Case{158, "Company"},
             Case{159, "unknown"},
             Case{179, "Function INIT returns error code:\n"},
             Case{194, "no data"},
             Case{199, "unknown"},
             Case{212, "Configuration ("},
             Case{219, "Parameter '%s' (%s) cannot be set to %s\n"},
             Case{260, "   Parameter"},
             Case{318, "real number"},
             Case{319, "integer"},
             Case{410, "TC type A-2 "},
             Case{467, "16-bit signed integer"},
             Case{468, "signed fixed point number"},
             Case{469, "<unknown parameter>"},
             Case{482, "Responce cannot be translated"},
             Case{500, "It should be an integer between %.0f and %.0f %"},
             Case{32821, "\nI/O status"},
             Case{57344, "Tavik"},
         }) {
        EXPECT_EQ(str(c.id), c.text) << c.id;
    }
    EXPECT_EQ(str(258),
              "Prohibited combinations of network parameters:\n"
              "1. Address >255 with 8 address bits or protocol not Ravelin\n"
              "2. Parity - none, stop bits - 1, data bits - 7\n"
              "3. Parity - even/odd, stop bits - 2, data bits - 8");
    EXPECT_EQ(str(336), "1. Set input signal U= %s V, I= %s A, cos(phi)= 1\n2. Click \"Next\"");
}

TEST(StringTable, UnknownNumbersGiveAnEmptyText) {
    for (const int id : {-1, 0, 128, 129, 134, 445, 504, 32820, 57343, 57345, 1 << 30}) {
        EXPECT_TRUE(str(id).empty()) << id;
    }
}

TEST(StringTable, NamedNumbers) {
    EXPECT_EQ(str(kNoData), "no data");
    EXPECT_EQ(str(kUnknownType), "unknown");
    EXPECT_EQ(str(kUnknownParameter), "<unknown parameter>");
    EXPECT_EQ(str(kDeviceValue), "Device value");
    EXPECT_EQ(str(kTimeoutError), "Time-out error");
    EXPECT_EQ(str(kResponseNotDecoded), "Response cannot be decoded");
    EXPECT_EQ(str(kNetworkParameters), "Network_parameters");
    EXPECT_EQ(str(kAppTitle), "Tavik");
}

}  // namespace
}  // namespace varda
