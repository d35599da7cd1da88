#include "core/model/tree_rows.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <set>

#include "core/app/command_line/headless_ui.h"
#include "core/devices/models.h"
#include "core/model/description.h"
#include "core/platform/strings.h"

namespace varda {
namespace {

// A tree-list control that only records what it is told.
class RecordingTree : public TreeSink {
  public:
    struct Row {
        Row* parent = nullptr;
        std::vector<Row*> children;
        std::array<std::string, kColumnCount> text;
        int image = 0, selected_image = 0;
        EditKind edit = EditKind::None;
        TreeItemData data;
        std::optional<Rgb> colour;
        int state = 0;
    };

    TreeItem insert_item(TreeItem parent, const std::string& text, int image, int selected_image,
                         EditKind edit, TreeItemData data) override {
        Row& r = rows_.emplace_back();
        r.parent = row_of(parent);
        r.text[kColumnTree] = text;
        r.image = image;
        r.selected_image = selected_image;
        r.edit = edit;
        r.data = data;
        (r.parent ? r.parent->children : top_).push_back(&r);
        return item_of(&r);
    }
    void set_item_text(TreeItem item, int column, const std::string& text) override {
        row(item).text.at(static_cast<std::size_t>(column)) = text;
    }
    void set_item_color(TreeItem item, std::optional<Rgb> color) override { row(item).colour = color; }
    void set_item_state(TreeItem item, int state) override { row(item).state = state; }
    TreeItem first_child(TreeItem item) const override {
        const auto& list = item ? row(item).children : top_;
        return list.empty() ? nullptr : item_of(list.front());
    }
    TreeItem next_sibling(TreeItem item) const override {
        const Row& r = row(item);
        const auto& list = r.parent ? r.parent->children : top_;
        for (std::size_t i = 0; i + 1 < list.size(); ++i)
            if (list[i] == &r) return item_of(list[i + 1]);
        return nullptr;
    }
    TreeItemData item_data(TreeItem item) const override { return row(item).data; }
    bool branch_has_differences(const DescBranch& branch) const override {
        return differing.contains(&branch);
    }

    static Row& row(TreeItem item) { return *row_of(item); }
    // The rows under `item` (the top rows for nullptr).
    std::vector<Row*> children(TreeItem item) const { return item ? row(item).children : top_; }
    std::vector<std::string> child_texts(TreeItem item, int column) const {
        std::vector<std::string> out;
        for (const Row* r : children(item))
            out.push_back(r->text[static_cast<std::size_t>(column)]);
        return out;
    }
    static TreeItem item_of(Row* r) { return reinterpret_cast<TreeItem>(r); }

    std::set<const DescBranch*> differing;

  private:
    static Row* row_of(TreeItem item) { return reinterpret_cast<Row*>(item); }

    std::deque<Row> rows_;
    std::vector<Row*> top_;
};

using Row = RecordingTree::Row;

constexpr const char* kDescription = R"(type OnOff Off On
parameter Addr int Module_address
parameter A.Len OnOff Address_length
parameter dev string Device_name noattr
parameter !Hw.v int Hardware_version
parameter CodP int Protection_code
parameter Rd.St int Status_word
parameter r.cn int Inputs
parameter Tmp float:1 Temperature
branch Network_parameters 1 3 4 Addr A.Len
branch Protection 1 5 6 CodP
branch Status 1 5 6 Rd.St
branch Channel# 2 7 8 Tmp r.cn
root Module 1 1 2 dev Network_parameters Protection Status !Hw.v Channel#
)";

struct Described {
    Described() {
        set_ui(&ui);
        context.LoadDescriptionText(kDescription);
    }
    ~Described() { set_ui(nullptr); }
    DescBranch& root() const { return *context.root(); }
    Parameter& parameter(std::string_view name, int index = 0) {
        return *context.find_parameter(name, index);
    }

    HeadlessUi ui;
    DescriptionContext context;
};

TEST(TreeRows, MixedTreeKeepsDeclarationOrderAndShowsCollapsedElementsAsParameters) {
    Described d;
    RecordingTree tree;
    TreeItem root = AddToTreeMixed(d.root(), tree, nullptr, true, nullptr);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(RecordingTree::row(root).text[kColumnTree], "Module");
    EXPECT_EQ(RecordingTree::row(root).image, 1);
    EXPECT_EQ(RecordingTree::row(root).selected_image, 2);
    EXPECT_EQ(std::get<ObjectWithParameters*>(RecordingTree::row(root).data), &d.root());

    // A collapsible element shows its single parameter under the element's name.
    EXPECT_EQ(tree.child_texts(root, kColumnTree),
              (std::vector<std::string>{"Device name", "Network parameters", "Protection", "Status",
                                        "Hardware version", "Channel 1", "Channel 2"}));
    EXPECT_EQ(d.root().shown_parameter_count, 2);
    const auto rows = tree.children(root);
    EXPECT_EQ(std::get<Parameter*>(rows[2]->data), &d.parameter("CodP"));
    EXPECT_EQ(d.parameter("CodP").tree_item, RecordingTree::item_of(rows[2]));
    EXPECT_EQ(tree.child_texts(RecordingTree::item_of(rows[1]), kColumnTree),
              (std::vector<std::string>{"Module address", "Address length"}));
    EXPECT_EQ(rows[1]->image, 3);
    EXPECT_EQ(rows[1]->selected_image, 4);
    EXPECT_EQ(d.root().children[0]->shown_parameter_count, 2);
    // Only the collapsed status word of a known model gets child rows; without a model it has none.
    EXPECT_TRUE(rows[3]->children.empty());
}

TEST(TreeRows, ProtectionCodeSpreadsItsBitsOverItsChildRows) {
    Described d;
    Parameter& codp = d.parameter("CodP");
    codp.SetValueText("181");
    RecordingTree tree;
    AddToTreeMixed(d.root(), tree, nullptr, false, nullptr);
    ASSERT_NE(codp.tree_item, nullptr);
    const Row& row = RecordingTree::row(codp.tree_item);
    EXPECT_EQ(tree.child_texts(codp.tree_item, kColumnTree),
              (std::vector<std::string>{"порог срабатывания", "вход «Заводские настройки»",
                                        "вход «Управление по сети»", "вход «Режим работы по тайм-ауту»",
                                        "вход «Режим функционирования»"}));
    for (const Row* child : row.children) {
        EXPECT_EQ(child->image, 38);
        EXPECT_EQ(child->selected_image, 38);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(child->data));
    }
    EXPECT_EQ(tree.child_texts(codp.tree_item, kColumnValue),
              (std::vector<std::string>{"10 kOhm", "1", "yes", "safe output status", "test"}));
    EXPECT_EQ(row.text[kColumnValue], "0xb5");
    EXPECT_EQ(codp.value_text(), "181");

    codp.SetValueText("0x4f");  // read the way "%i" reads: hexadecimal too
    RefreshTreeRow(codp, tree);
    EXPECT_EQ(row.text[kColumnValue], "0x4f");
    EXPECT_EQ(tree.child_texts(codp.tree_item, kColumnValue),
              (std::vector<std::string>{"470 kOhm", "0", "no", "automatic control", "work"}));

    // A value that is no number is shown as it is and leaves the child rows alone.
    codp.SetValueText(std::string(str(kNoData)));
    RefreshTreeRow(codp, tree);
    EXPECT_EQ(row.text[kColumnValue], str(kNoData));
    EXPECT_EQ(row.children[0]->text[kColumnValue], "470 kOhm");
}

TEST(TreeRows, FixedChildRowsOfInputsOutputsAndStatusWords) {
    struct Case {
        const char* name;
        std::vector<std::string> rows;
    };
    const auto model = create_device_model(12, nullptr);
    std::vector<std::string> status_items;
    for (int caption : {366, 367, 368, 369, 342, 370, 371})
        status_items.emplace_back(str(caption));
    const std::vector<Case> cases = {
        {"r.cn", {"вход 1", "вход 2", "вход 3", "вход 4"}},
        {"S.DO", {"выход 1", "выход 2", "выход 3", "выход 4"}},
        {"Rd.St", status_items},
        {"stat", status_items},
        {"Addr", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DescBranch root;
        root.name = "Module";
        auto child = std::make_unique<DescBranch>();
        child->AddParameter(std::make_unique<Parameter>(c.name));
        root.AddChild(std::move(child));
        RecordingTree tree;
        TreeItem item = AddToTreeMixed(root, tree, nullptr, false, model.get());
        ASSERT_EQ(tree.children(item).size(), 1u);
        EXPECT_EQ(tree.child_texts(RecordingTree::item_of(tree.children(item)[0]), kColumnTree), c.rows);
    }
}

TEST(TreeRows, ActuatorRowOfLaterOrvikChannels) {
    struct Case {
        const char* name;
        int index;
        bool has_row;
    };
    for (const auto& c : {Case{"Orvik 9", 9, true}, Case{"Orvik 8", 8, false}, Case{"Orviks 9", 9, false}}) {
        SCOPED_TRACE(c.name);
        DescBranch element;
        element.name = c.name;
        element.index = c.index;
        RecordingTree tree;
        TreeItem item = AddToTreeMixed(element, tree, nullptr, false, nullptr);
        const auto rows = tree.children(item);
        ASSERT_EQ(rows.size(), c.has_row ? 1u : 0u);
        if (!c.has_row) continue;
        EXPECT_EQ(rows[0]->text[kColumnTree], "Тип исполнительного механизма");
        EXPECT_EQ(rows[0]->text[kColumnValue], "2 позиционный ИМ");
        EXPECT_EQ(rows[0]->image, 30);
    }
}

TEST(TreeRows, LimitOnShownParameters) {
    struct Case {
        int limit;
        int shown;
    };
    for (const auto& c : {Case{3, 3}, Case{-1, 5}, Case{0, 0}, Case{9, 5}}) {
        SCOPED_TRACE(c.limit);
        Elements::InvisibleElement element("Five");
        for (int i = 0; i < 5; ++i)
            element.AddParameter(std::make_unique<Parameter>("P" + std::to_string(i)));
        RecordingTree tree;
        TreeItem item = AddToTree(element, tree, nullptr, c.limit, false);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(RecordingTree::row(item).text[kColumnTree], "Five");
        EXPECT_EQ(RecordingTree::row(item).edit, EditKind::None);
        const auto rows = tree.children(item);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(c.shown));
        for (int i = 0; i < c.shown; ++i)
            EXPECT_EQ(std::get<Parameter*>(rows[static_cast<std::size_t>(i)]->data),
                      element.parameters[static_cast<std::size_t>(i)].get());
        EXPECT_EQ(element.shown_parameter_count, c.shown);
    }
}

TEST(TreeRows, EditKindAndImageFollowTypeAndWritability) {
    struct Case {
        const char* type;
        bool writable;
        EditKind edit;
        int image;
    };
    const std::vector<Case> cases = {
        {"int", true, EditKind::EditBox, 28},        {"float", true, EditKind::EditBox, 28},
        {"CLK_frm", true, EditKind::EditBox, 28},    {"name", true, EditKind::EditBox, 28},
        {"unknown", true, EditKind::EditBox, 28},    {"Off:On", true, EditKind::List, 27},
        {"Off:On", false, EditKind::None, 30},       {"int", false, EditKind::None, 30},
        {"sint", true, EditKind::None, 30},          {"float:4", true, EditKind::EditBox, 28},
        {"sint16:Off:On", true, EditKind::None, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + (c.writable ? " writable" : " read-only"));
        Parameter p("X");
        p.set_data_type(c.type);
        p.writable = c.writable;
        EXPECT_EQ(ImageIndex(p), c.image);
        RecordingTree tree;
        TreeItem item = InsertIntoTree(p, tree, nullptr, 11, 12, false);
        EXPECT_EQ(RecordingTree::row(item).edit, c.edit);
        EXPECT_EQ(RecordingTree::row(item).image, 11);
        EXPECT_EQ(RecordingTree::row(item).selected_image, 12);
    }
}

TEST(TreeRows, AttributeAndNameColumns) {
    Parameter p("Tmp");
    p.description = "Temperature";
    p.SetValueText("21.500");
    p.indexed = true;
    p.network_index = 2;
    p.error_text = "broken";
    RecordingTree tree;
    TreeItem item = InsertIntoTree(p, tree, nullptr, 28, 28, true);
    const Row& row = RecordingTree::row(item);
    // Without attributes the access and user columns stay empty.
    EXPECT_EQ(row.text,
              (std::array<std::string, kColumnCount>{"Temperature", "Tmp:2", "21.500", "", "", "broken"}));

    p.attributes_flag = 1;
    p.access_attribute = false;
    p.user_attribute = true;
    UpdateTreeRow(p, tree, item, false);
    EXPECT_EQ(row.text, (std::array<std::string, kColumnCount>{"Temperature", "Tmp", "21.500", "read-only",
                                                               "Company", "broken"}));
    p.access_attribute = true;
    p.user_attribute = false;
    UpdateTreeRow(p, tree, item, false);
    EXPECT_EQ(row.text[kColumnAccess], "read/write");
    EXPECT_EQ(row.text[kColumnUser], "unknown");
}

TEST(TreeRows, RowColour) {
    struct Case {
        const char* error;
        FailureKind kind;
        bool value_modified, access_modified, user_modified;
        std::optional<Rgb> colour;
    };
    const std::string discrepancy = std::string(str(kDeviceValue)) + " 5";
    const std::vector<Case> cases = {
        {"", FailureKind::None, false, false, false, std::nullopt},
        {"", FailureKind::None, true, false, false, kModifiedColour},
        {"", FailureKind::None, false, true, false, kModifiedColour},
        {"", FailureKind::None, false, false, true, kModifiedColour},
        {discrepancy.c_str(), FailureKind::Discrepancy, true, false, false, kDiscrepancyColour},
        {"Timeout", FailureKind::Timeout, true, false, false, kErrorColour},
        {"Timeout", FailureKind::Timeout, false, false, false, kErrorColour},
        // The kind decides, not the text.
        {discrepancy.c_str(), FailureKind::Described, false, false, false, kErrorColour},
        {"Timeout", FailureKind::Discrepancy, false, false, false, kDiscrepancyColour},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.error) +
                     (c.value_modified || c.access_modified || c.user_modified ? " m" : ""));
        Parameter p("X");
        RecordingTree tree;
        TreeItem item = InsertIntoTree(p, tree, nullptr, 28, 28, false);
        RecordingTree::row(item).colour = Rgb{1, 2, 3};  // so that the default colour is seen being set
        p.set_failure(c.kind, c.error);
        p.value_modified = c.value_modified;
        p.access_modified = c.access_modified;
        p.user_modified = c.user_modified;
        p.SetValueText("42");
        RefreshTreeRow(p, tree);
        EXPECT_EQ(RecordingTree::row(item).colour, c.colour);
        EXPECT_EQ(RecordingTree::row(item).text[kColumnValue], "42");
        EXPECT_EQ(RecordingTree::row(item).text[kColumnError], c.error);
    }
}

TEST(TreeRows, ScannerRows) {
    struct Case {
        const char* name;
        bool show_index;
        const char* text;
        const char* second_column;
    };
    for (const auto& c :
         {Case{"Tmp", true, "Temperature, Tmp:3", "500"}, Case{"Tmp", false, "Temperature", "500"},
          Case{"r.oe.s", true, "Temperature, r.oe.s:3", "r.oe.s"}}) {
        SCOPED_TRACE(std::string(c.name) + (c.show_index ? " indexes" : ""));
        Parameter p(c.name);
        p.description = "Temperature";
        p.indexed = true;
        p.network_index = 3;
        p.MakeScanner();
        p.period = std::chrono::milliseconds(500);
        RecordingTree tree;
        TreeItem item = InsertIntoTree(p, tree, nullptr, 28, 28, c.show_index);
        const Row& row = RecordingTree::row(item);
        EXPECT_EQ(row.text[kColumnTree], c.text);
        EXPECT_EQ(row.text[kColumnName], c.second_column);
        EXPECT_EQ(row.state, 1);
        // A later rewrite keeps the period and follows the timer.
        p.StartTimer();
        UpdateTreeRow(p, tree, item, c.show_index);
        EXPECT_EQ(row.text[kColumnName], c.second_column);
        EXPECT_EQ(row.state, 3);
        p.StopTimer();
    }
    Parameter plain("Tmp");
    RecordingTree tree;
    EXPECT_EQ(RecordingTree::row(InsertIntoTree(plain, tree, nullptr, 28, 28, true)).state, 0);
}

TEST(TreeRows, ElementIndexColumnAndDifferenceColour) {
    Described d;
    RecordingTree tree;
    DescBranch& network = *d.root().children[0];
    tree.differing.insert(&network);
    TreeItem root = AddToTreeMixed(d.root(), tree, nullptr, true, nullptr);
    auto rows = tree.children(root);
    const Row& network_row = *rows[1];
    const Row& channel1 = *rows[5];
    const Row& channel2 = *rows[6];
    // Only elements whose parameters are indexed show an index.
    EXPECT_EQ(network_row.text[kColumnName], "");
    EXPECT_EQ(channel1.text[kColumnName], "(0)");
    EXPECT_EQ(channel2.text[kColumnName], "(1)");
    EXPECT_EQ(channel2.children[0]->text[kColumnName], "Tmp:1");
    EXPECT_EQ(network_row.colour, kErrorColour);
    EXPECT_EQ(channel1.colour, std::nullopt);

    // The view's update rewrites every row from its object.
    tree.differing.clear();
    tree.differing.insert(d.root().children[4].get());
    Parameter& tmp = d.parameter("Tmp", 1);
    tmp.SetValueText("7.000");
    tmp.value_modified = true;
    UpdateTreeRows(tree, nullptr, false);
    EXPECT_EQ(network_row.colour, std::nullopt);
    EXPECT_EQ(channel2.colour, kErrorColour);
    EXPECT_EQ(channel2.text[kColumnName], "");
    EXPECT_EQ(channel2.children[0]->text[kColumnName], "Tmp");
    EXPECT_EQ(channel2.children[0]->text[kColumnValue], "7.000");
    EXPECT_EQ(channel2.children[0]->colour, kModifiedColour);
    // Column 0 is the row's own and is not rewritten.
    EXPECT_EQ(channel2.children[0]->text[kColumnTree], "Temperature");
}

TEST(TreeRows, DiscrepancyCellReadsAsTheModulesValueAndAccess) {
    struct Case {
        std::string stored;  // the error text as comparisons make it and files keep it
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"Device value '10',read/writeunknown", "module: 10 (read/write)"},
        {"Device value '0.5',read-onlyCompany", "module: 0.5 (read-only, Company)"},
        {"Device value 'a',b',read/writeunknown; ", "module: a',b (read/write)"},
        {"Device value '',read/writeunknown", "module:  (read/write)"},
        {"Device value 'x',read/write unknown", "Device value 'x',read/write unknown"},
        {"Time-out error", "Time-out error"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(error_cell_text(c.stored), c.shown) << c.stored;
}

}  // namespace
}  // namespace varda
