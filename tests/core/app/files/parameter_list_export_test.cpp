#include "core/app/files/parameter_list_export.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "core/app/command_line/headless_ui.h"
#include "core/model/description.h"
#include "core/model/parameter.h"
#include "core/platform/text.h"

namespace varda {
namespace {

// Four numbered inputs declared one by one, a group inside a group, and a group of a single parameter.
constexpr const char* kDescription = R"(type OnOff Off On
parameter Fl float Filter
rule Fl 0 100
parameter Inv OnOff Inversion
parameter Dd DEC_dot Scaled
parameter dev string Device noattr
parameter Addr int Address
rule Addr 1 247
branch Вход_№1 1 3 3 Fl Inv
branch Вход_№2 1 3 3 Fl Inv
branch Вход_№3 1 3 3 Fl Inv
branch Вход_№4 1 3 3 Fl Inv
branch Scale 1 3 3 Dd
branch Address 1 4 4 Addr dev
branch Network 1 4 4 Address Inv
root Module 1 0 0 dev Вход_№1 Вход_№2 Вход_№3 Вход_№4 Scale Network
)";

struct Loaded {
    Loaded() {
        set_ui(&ui);
        context.LoadDescriptionText(kDescription);
        // The numbered inputs are instances 0 to 3 of their parameters, as a module numbers them.
        for (int k = 0; k < 4; ++k)
            for (const auto& p : context.root()->children[static_cast<std::size_t>(k)]->parameters) {
                p->indexed = true;
                p->network_index = k;
            }
    }
    ~Loaded() { set_ui(nullptr); }
    HeadlessUi ui{true};
    DescriptionContext context;
};

std::size_t count(const std::string& text, std::string_view part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(ParameterList, NumberedGroupsAreListedOnceWithTheirIndexRange) {
    Loaded loaded;
    ASSERT_NE(loaded.context.root(), nullptr);
    const std::string page = parameter_list_page(*loaded.context.root(), "Tavik-VK03");

    EXPECT_EQ(page.find("<html>\n<head>\n"), 0u);
    EXPECT_NE(page.find("\t<title>Список параметров прибора Tavik-VK03</title>\n"), std::string::npos);
    EXPECT_NE(page.find("<table border=1 width=\"100%\" style=\"font-size=12px\">\n"), std::string::npos);

    // One group for the four inputs, its rows carrying the instances' range; the root's own "dev" is not
    // listed (the address group's is); a group of one parameter gets no header; a nested group names its
    // path.
    EXPECT_EQ(count(page, "<b>Вход №...</b>"), 1u);
    EXPECT_EQ(count(page, "<td>Fl\t</td>"), 1u);
    // "Inv" of the network group shares the inputs' network name, and so their range.
    EXPECT_EQ(count(page, "\t<td>0,1..3\t</td>\n"), 3u);
    EXPECT_EQ(count(page, "<td>dev\t</td>"), 1u);
    EXPECT_EQ(count(page, "<b>Scale</b>"), 0u);
    EXPECT_EQ(count(page, "<td>Dd\t</td>"), 1u);
    EXPECT_EQ(count(page, "<b>Network</b>"), 1u);
    EXPECT_EQ(count(page, "<b>Network\\Address</b>"), 1u);
    // Rows are numbered over the whole page: Fl, Inv, Dd, Network's Inv, Addr, dev.
    EXPECT_NE(page.find("<tr>\n\t<td>5\t</td>\n\t<td>Addr\t</td>\n"), std::string::npos);
    EXPECT_NE(page.find("<tr>\n\t<td>6\t</td>\n\t<td>dev\t</td>\n"), std::string::npos);
    EXPECT_EQ(page.find("<tr>\n\t<td>7\t</td>"), std::string::npos);

    EXPECT_NE(page.find("<h4>Примечание:</h4>"), std::string::npos);
    EXPECT_NE(page.find("<td>STORED_DOT</td>"), std::string::npos);
    EXPECT_EQ(page.substr(page.size() - 24), "</TABLE>\n</body>\n</html>");
}

TEST(ParameterList, RowCells) {
    struct Case {
        const char* type;
        double minimum, maximum;
        const char* description;
        int attributes;
        const char* type_cell;
        const char* range_cell;
        const char* description_cell;
        const char* attributes_cell;
    };
    const Case cases[] = {
        {"float", 0, 0, "a<b>c", 1, "float", "нет ограничений", "a&lt;b&gt;c", "обычн. атрибуты"},
        {"DEC_dot", 5, 5, "Вход №1", 0, "DEC_dot", "нет ограничений", "Вход №...", "нет атрибутов"},
        {"int:2", 1, 247, "x", 4, "int", "от 1.000 до 247.000", "x",
         "дерево атр-ов обрезано (кратность индекcов 4)"},
        {"Off:On_<1>::", -1.5, 2, "x", 1, "\n\t<ol start=0>\n\t\t<li> Off\n\t\t<li> On &lt;1&gt;\n\t</ol>",
         "от -1.500 до 2.000", "x", "обычн. атрибуты"},
        // An item after a gap keeps its code; a type that is no list shows its name.
        {"a::<hide>b", 0, 0, "x", 1, "\n\t<ol start=0>\n\t\t<li> a\n\t\t<li value=2> &lt;hide&gt;b\n\t</ol>",
         "нет ограничений", "x", "обычн. атрибуты"},
        {"sint16", 0, 0, "x", 1, "sint16", "нет ограничений", "x", "обычн. атрибуты"},
        {"", 0, 0, "x", 1, "", "нет ограничений", "x", "обычн. атрибуты"},
    };
    for (const Case& c : cases) {
        Parameter p("Addr");
        p.set_data_type(c.type);
        p.set_limits(c.minimum, c.maximum);
        p.description = c.description;
        p.attributes_flag = static_cast<std::uint8_t>(c.attributes);
        const std::string expected =
            std::string("<tr>\n\t<td>7\t</td>\n\t<td>Addr\t</td>\n\t<td>9F62\t</td>\n") + "\t<td>" +
            c.description_cell + "\t</td>\n\t<td>" + c.type_cell +
            "\t</td>\n\t<td>без индекса\t</td>\n\t<td>" + c.range_cell + "\t</td>\n\t<td>" +
            c.attributes_cell + "\t</td>\n</tr>\n";
        EXPECT_EQ(parameter_list_row(p, 7, "без индекса"), expected) << c.type;
    }
}

TEST(ParameterList, FileIsWindows1251WithCrLfAndAFailedExportSaysWhy) {
    Loaded loaded;
    const auto folder = std::filesystem::temp_directory_path() / ("varda-list-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto path = folder / "parlist.html";
    ASSERT_TRUE(export_parameter_list(*loaded.context.root(), "Tavik-VK03", path).ok);

    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.find("<html>\r\n<head>\r\n"), 0u);
    EXPECT_EQ(count(bytes, "\n"), count(bytes, "\r\n"));
    EXPECT_NE(bytes.find(platform::utf8_to_cp1251("Список конфигурационных параметров")), std::string::npos);
    EXPECT_NE(platform::cp1251_to_utf8(bytes).find("<b>Вход №...</b>"), std::string::npos);

    const SaveResult refused =
        export_parameter_list(*loaded.context.root(), "x", folder / "missing" / "p.html");
    EXPECT_FALSE(refused.ok);
    EXPECT_FALSE(refused.message.empty());
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace varda
