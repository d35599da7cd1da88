#include "core/model/description.h"
#include "core/devices/models.h"

#include <gtest/gtest.h>

#include "core/app/command_line/headless_ui.h"
#include "core/model/device_table.h"

namespace varda {
namespace {

constexpr const char* kExample = R"(; example description
const CH 4
type OnOff Off On
type Mode Normal Test_mode
parameter Addr int Module_address
rule Addr 1 247
init Addr 16
parameter A.Len OnOff Address_length
parameter dev string Device_name noattr
parameter Tmp float:1 Temperature table1 3
rule Tmp -50 150
parameter !r.oe OnOff Output_state table2+ 1
parameter Mode Mode Operating_mode
branch Network_parameters 1 1 1 Addr A.Len
branch Channel# CH 2 2 Tmp !r.oe
#if ver >= 2.0
branch Service 1 3 3 Mode
#else
branch Service 1 3 3
#endif
root Module 1 0 0 dev Network_parameters Channel# Service
scanners Polling 1 0 0 Tmp
)";

struct Loader {
    Loader() {
        set_ui(&ui);
        context.model_factory = create_device_model;
    }
    ~Loader() { set_ui(nullptr); }
    DescriptionContext& load(std::string_view text) {
        context.LoadDescriptionText(text);
        return context;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& m : ui.messages())
            out.push_back(m.text);
        return out;
    }
    HeadlessUi ui;
    DescriptionContext context;
};

TEST(Description, TheExampleBuildsItsTree) {
    Loader loader;
    auto& c = loader.load(kExample);
    EXPECT_TRUE(loader.messages().empty());
    DescBranch* root = c.root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->name, "Module");
    ASSERT_EQ(root->parameters.size(), 1u);
    EXPECT_EQ(root->parameters[0]->network_name(), "dev");
    EXPECT_FALSE(root->parameters[0]->indexed);
    EXPECT_EQ(root->parameters[0]->attributes_flag, 0);
    // Children in declaration order: the network element, four channels, the service element.
    ASSERT_EQ(root->children.size(), 6u);
    EXPECT_EQ(root->order, (std::vector<bool>{false, true, true, true, true, true, true}));

    DescBranch& network = *root->children[0];
    EXPECT_EQ(network.name, "Network parameters");
    EXPECT_EQ(c.network_parameters(), &network);
    ASSERT_EQ(network.parameters.size(), 2u);
    const Parameter& addr = *network.parameters[0];
    EXPECT_EQ(addr.network_name(), "Addr");
    EXPECT_EQ(addr.minimum(), 1);
    EXPECT_EQ(addr.maximum(), 247);
    EXPECT_EQ(addr.initial_value_text, "16");
    EXPECT_EQ(addr.description, "Module address");
    EXPECT_EQ(network.parameters[1]->data_type(), "Off:On");

    for (int k = 0; k < 4; ++k) {
        DescBranch& channel = *root->children[static_cast<std::size_t>(1 + k)];
        EXPECT_EQ(channel.name, "Channel " + std::to_string(k + 1));
        ASSERT_EQ(channel.parameters.size(), 2u);
        const Parameter& tmp = *channel.parameters[0];
        EXPECT_EQ(tmp.data_type(), "float");
        EXPECT_EQ(tmp.decimals(), 1);
        EXPECT_EQ(tmp.minimum(), -50);
        EXPECT_EQ(tmp.maximum(), 150);
        EXPECT_TRUE(tmp.indexed);
        EXPECT_EQ(tmp.network_index, k);
        const Parameter& out = *channel.parameters[1];
        EXPECT_EQ(out.network_name(), "r.oe");
        EXPECT_FALSE(out.writable);
        EXPECT_EQ(out.access_mode, 1);
        EXPECT_EQ(out.network_index, k);
    }
    EXPECT_EQ(root->children[5]->name, "Service");
    EXPECT_TRUE(root->children[5]->parameters.empty());

    DescBranch* scanners = c.scanners();
    ASSERT_NE(scanners, nullptr);
    ASSERT_EQ(scanners->parameters.size(), 1u);
    EXPECT_TRUE(scanners->parameters[0]->is_scanner());
    EXPECT_EQ(scanners->parameters[0]->address_offset, 0);
    EXPECT_EQ(scanners->parameters[0]->description, "Polling");  // a collapsible element names its parameter
    EXPECT_EQ(c.FindDescription("tmp")->access_table, 1);
    EXPECT_EQ(c.FindDescription("tmp")->access_number, 3);
    EXPECT_TRUE(c.constants.empty());
}

TEST(Description, VersionSelectsTheBlock) {
    Loader loader;
    loader.context.version_major = 2;
    loader.context.version_minor = 0;
    auto& c = loader.load(kExample);
    ASSERT_NE(c.root(), nullptr);
    EXPECT_EQ(c.root()->children[5]->parameters.size(), 1u);
}

// Which of the lines of a block survive: each case is a text with "X" parameters declared by the lines
// that the directives let through, and the names that must come out in the root.
TEST(Description, Directives) {
    struct Case {
        int major, minor;
        const char* block;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {-1, -1, "#if ver >= 1.0\nparameter A int a\n#else\nparameter B int b\n#endif\n", {"B"}},
        {2, 3, "#if ver < 2.4\nparameter A int a\n#endif\n", {"A"}},
        {2, 3, "#if ver <= 2.3\nparameter A int a\n#endif\n", {"A"}},
        {2, 3, "#if ver >= 2\nparameter A int a\n#endif\n", {"A"}},
        {2, 3, "#if ver > 1.9\nparameter A int a\n#endif\n", {"A"}},
        {2, 3, "#if ver > 2.3\nparameter A int a\n#endif\n", {}},
        {2, 3, "#if ver == 2.3\nparameter A int a\n#endif\n", {"A"}},
        {16, 0, "#if ver >= 0x10\nparameter A int a\n#endif\n", {"A"}},
        {15, 9, "#IF ver >= 0x10\nparameter A int a\n#endif\n", {}},
        {15, 9, "#if VER >= 0x10\nparameter A int a\n#endif\n", {"A"}},  // an unknown condition is ignored
        {1, 0, "#if ver > 5\n#if ver < 9\nparameter A int a\n#endif\nparameter B int b\n", {"B"}},
        {1, 0, "#else\nparameter A int a\n#endif\nparameter B int b\n", {"B"}},
        {1, 0, "; a comment\n' another\n;comment\nlonely\n\n \t \nparameter A int a\n", {"A"}},
    };
    for (const auto& c : cases) {
        Loader loader;
        loader.context.version_major = c.major;
        loader.context.version_minor = c.minor;
        // Names not declared would fail the root line, so it names only those expected.
        std::string text = c.block + std::string("parameter Z int z\nroot R 1 0 0 Z");
        for (const auto& n : c.names)
            text += " " + n;
        text += "\n";
        auto& context = loader.load(text);
        ASSERT_NE(context.root(), nullptr) << c.block;
        EXPECT_TRUE(loader.messages().empty()) << c.block << loader.messages().front();
        std::vector<std::string> names;
        for (std::size_t i = 1; i < context.root()->parameters.size(); ++i)
            names.push_back(context.root()->parameters[i]->network_name());
        EXPECT_EQ(names, c.names) << c.block;
        // And nothing else was declared.
        for (const char* n : {"A", "B"}) {
            const bool expected = std::find(c.names.begin(), c.names.end(), n) != c.names.end();
            EXPECT_EQ(context.FindDescription(n) != nullptr, expected) << c.block << " " << n;
        }
    }
}

TEST(Description, FailuresStopAtTheLineAndKeepWhatCameBefore) {
    struct Case {
        const char* text;
        std::vector<std::string> messages;
        const char* root = "R";  // the root of the first line survives a failure
    };
    const Case cases[] = {
        {";a comment\n", {"Unknown functuion ';a comment' in descriptor", "Tree is damaged"}},
        {"const N 3\nconst n 4\n", {"Constant 'n' already defined", "Tree is damaged"}},
        {"rule Q 1 2\n", {"Parameter 'Q' not defined.", "Tree is damaged"}},
        {"init Q 1\n", {"Parameter 'Q' not defined.", "Tree is damaged"}},
        {"branch B 1 0 0 Nothing\n", {"Unknown string element", "Tree is damaged"}},
        {"const N\n", {"Tree is damaged"}},
        {"branch B 1 0\n", {"Tree is damaged"}},
        {"#if ver\n", {}},            // version unknown: no further token needed, and what follows is skipped
        {"branch B 0 0\n", {}, "S"},  // nothing to create: the count needs no more tokens
    };
    for (const auto& c : cases) {
        Loader loader;
        std::string text = std::string("parameter P int p\nroot R 1 0 0 P\n") + c.text + "root S 1 0 0 P\n";
        auto& context = loader.load(text);
        EXPECT_EQ(loader.messages(), c.messages) << c.text;
        ASSERT_NE(context.root(), nullptr);
        EXPECT_EQ(context.root()->name, c.root) << c.text;
    }
    Loader no_root;
    no_root.load("parameter P int p\n");
    EXPECT_EQ(no_root.messages(), std::vector<std::string>{"Tree root is not defined"});
}

std::string nested_levels(int levels, const char* count, const char* suffix) {
    std::string text;
    for (int level = 1; level <= levels; ++level) {
        text += "branch L" + std::to_string(level) + suffix + " " + count + " 0 0 " +
                (level == 1 ? std::string("P") : "L" + std::to_string(level - 1) + suffix) + "\n";
    }
    return text;
}

TEST(Description, HugeCountsAndCopiesAreRefusedAsADamagedTree) {
    // Each would take hours or all memory if it were built; the tree of the first line survives.
    const std::string cases[] = {
        "branch B 2000000000 0 0 P\n",
        "branch B 99999999999 0 0 P\n",
        "const N 1e300\nbranch B N 0 0 P\n",
        "branch A 46341 0 0 P\nbranch B 46341 0 0 A\n",  // the product overflows an int
        nested_levels(9, "9", ""),                       // nine levels of nine copies
        "branch B 1 0 0 P\nbranch B 40 0 0 P B\n",       // each instance copies all the earlier ones
    };
    for (const auto& c : cases) {
        Loader loader;
        auto& context = loader.load("parameter P int p\nroot R 1 0 0 P\n" + c + "root S 1 0 0 P\n");
        EXPECT_EQ(loader.messages(), std::vector<std::string>{"Tree is damaged"}) << c;
        ASSERT_NE(context.root(), nullptr);
        EXPECT_EQ(context.root()->name, "R") << c;
    }

    // Few elements, but positions multiplied level by level beyond an int: the tree is damaged too.
    Loader loader;
    loader.load("parameter P int p\n" + nested_levels(12, "2", "*9") + "root R 1 0 0 L12*9\n");
    EXPECT_EQ(loader.messages(), std::vector<std::string>{"Tree is damaged"});

    // Many copies within the limit still load.
    Loader large;
    auto& context = large.load("parameter P int p\n" + nested_levels(3, "20", "") + "root R 1 0 0 L3\n");
    EXPECT_EQ(large.messages(), std::vector<std::string>{});
    EXPECT_EQ(context.root()->children.size(), 20u);
}

TEST(Description, CountsSuffixesAndNumbering) {
    Loader loader;
    auto& c = loader.load(
        "const N 3\n"
        "parameter P int p\n"
        "parameter P int p_again\n"
        "parameter @X int x\n"
        "parameter V int v table3 7\n"
        "parameter W int w anything\n"
        "type T2 float:2\n"
        "parameter F float:2 f\n"
        "parameter G float:4 g\n"
        "parameter H Off:On h\n"
        "branch Zero 0 0 0\n"
        "branch Missing Y 0 0\n"
        "branch Empty 2 0 0\n"
        "branch In+1 4 0 0 P\n"
        "branch Sc*2 4 0 0 X\n"
        "branch Out_#_state 3 0 0 V\n"
        "branch Состояние_дополнительного_ВЭ 2 0 0 W\n"
        "branch Three N 0 0 F\n"
        "root R 2 0 0 G H In+1 Sc*2 Out_#_state Состояние_дополнительного_ВЭ Three\n");
    EXPECT_TRUE(loader.messages().empty());
    ASSERT_NE(c.root(), nullptr);
    DescBranch& root = *c.root();
    EXPECT_EQ(root.name, "R 2");  // the second instance is the root
    std::vector<std::string> names;
    for (auto& child : root.children)
        names.push_back(child->name);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "In 2", "In 3", "In 4", "In 5", "Sc 1", "Sc 2", "Sc 3", "Sc 4", "Out  1 state",
                         "Out  2 state", "Out  3 state", "Состояние дополнительного ВЭ 9",
                         "Состояние дополнительного ВЭ 10", "Three 1", "Three 2", "Three 3"}));
    // "P" is declared twice: both copies come along.
    EXPECT_EQ(root.children[0]->parameters.size(), 2u);
    // The root is instance 2 of 2, so its children are built on base 1.
    auto index_of = [&](std::size_t child) { return root.children[child]->parameters[0]->network_index; };
    EXPECT_EQ(index_of(0), 4 * 1 + 0 + 1);
    EXPECT_EQ(index_of(4), (4 * 1 + 0) * 2);
    EXPECT_EQ(index_of(5), (4 * 1 + 1) * 2);
    EXPECT_EQ(root.parameters[0]->data_type(), "float:4");
    EXPECT_EQ(root.parameters[1]->data_type(), "Off:On");
    EXPECT_EQ(root.children[13]->parameters[0]->data_type(), "float");
    EXPECT_EQ(root.children[13]->parameters[0]->decimals(), 2);
    // A childless element with one parameter names it.
    EXPECT_EQ(root.children[8]->parameters[0]->description, "Out  1 state");
    EXPECT_EQ(c.FindDescription("V")->access_table, 3);
    EXPECT_EQ(c.FindDescription("W")->access_table, 0);
    EXPECT_EQ(c.FindDescription("W")->attributes_flag, 1);
}

TEST(Description, StandaloneSuffixRulesUnderARoot) {
    Loader loader;
    auto& c = loader.load(
        "parameter P int p\n"
        "branch In+1 4 0 0 P\n"
        "branch Sc*2 4 0 0 P\n"
        "branch K20+1 2 0 0 P\n"
        "root R 1 0 0 In+1 Sc*2 K20+1\n");
    ASSERT_NE(c.root(), nullptr);
    DescBranch& root = *c.root();
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(root.children[static_cast<std::size_t>(k)]->name, "In " + std::to_string(k + 2));
        EXPECT_EQ(root.children[static_cast<std::size_t>(k)]->parameters[0]->network_index, k + 1);
        EXPECT_EQ(root.children[static_cast<std::size_t>(4 + k)]->parameters[0]->network_index, 2 * k);
    }
    EXPECT_EQ(root.children[8]->name, "K20 1");  // K20 keeps its index
}

TEST(Description, OutputTableAndTheModelObject) {
    Loader loader;
    loader.context.model_index = 5;
    auto& c = loader.load(
        "parameter POUt int output\n"
        "branch Out 9 0 0 POUt\n"
        "root R 1 0 0 Out\n");
    ASSERT_NE(c.root(), nullptr);
    EXPECT_EQ(c.output_table()[0], c.root()->children[0]->parameters[0].get());
    EXPECT_EQ(c.output_table()[7], c.root()->children[7]->parameters[0].get());
    ASSERT_EQ(loader.messages().size(), 1u);  // the ninth output has no slot
    EXPECT_NE(loader.messages()[0].find("outside the output table"), std::string::npos);
    ASSERT_TRUE(c.device_model());
    EXPECT_EQ(c.device_model()->model_index(), 5);
    // Destroying the tree empties the slots.
    c.ClearDescription();
    EXPECT_EQ(c.output_table()[0], nullptr);
}

}  // namespace
}  // namespace varda
