#include "core/model/elements.h"

#include <gtest/gtest.h>

#include "core/app/command_line/headless_ui.h"

namespace varda {
namespace {

// Records what a group operation asks of the link; every request succeeds.
struct FakeContext : ElementContext {
    int read_parameter(Parameter& p, bool) override {
        calls.push_back("read " + p.network_name());
        return 0;
    }
    int write_parameter(Parameter& p, int mode) override {
        calls.push_back("write " + p.network_name() + " " + std::to_string(mode));
        return 0;
    }
    int compare_parameter(Parameter& p) override {
        calls.push_back("compare " + p.network_name());
        return 0;
    }
    void progress_line(const std::string& text) override { lines.push_back(text); }
    void add_done() override { ++done; }
    bool aborted() const override { return abort_after > 0 && static_cast<int>(calls.size()) >= abort_after; }

    std::vector<std::string> calls;
    std::vector<std::string> lines;
    int done = 0;
    int abort_after = 0;
};

std::unique_ptr<Parameter> param(const char* name, int index = -1) {
    auto p = std::make_unique<Parameter>(name);
    p->set_data_type("int");
    p->SetValueText("1");
    if (index >= 0) {
        p->indexed = true;
        p->network_index = index;
    }
    return p;
}

TEST(Elements, RenamingThroughTheNameParameter) {
    Elements::InvisibleElement element("Канал");
    EXPECT_EQ(element.SetValue("Название", "Вход 1"), 3);
    EXPECT_EQ(element.name, "Вход 1");
    EXPECT_EQ(element.Title(), "Вход 1 (Невизуальный элемент)");

    ObjectWithParameters plain;
    EXPECT_EQ(plain.SetValue("Название", "x"), 0);
    plain.AddParameter(param("Addr"));
    EXPECT_EQ(plain.SetValue("addr", "1"), 1);
    EXPECT_FALSE(plain.parameters[0]->value_modified);  // same text
    EXPECT_EQ(plain.SetValue("ADDR", "2"), 1);
    EXPECT_TRUE(plain.parameters[0]->value_modified);
    EXPECT_EQ(plain.GetValueText("Addr"), "2");
    EXPECT_EQ(plain.GetValueText("none"), "no data");
}

TEST(Elements, WriteAllByMode) {
    DescBranch root;
    root.name = "root";
    auto& child = root.AddChild(std::make_unique<DescBranch>());
    child.name = "child";
    auto& modified_read_only = child.AddParameter(param("Ro"));
    modified_read_only.writable = false;
    modified_read_only.value_modified = true;
    auto& with_default = root.AddParameter(param("Def"));
    with_default.initial_value_text = "5";
    root.AddParameter(param("Plain"));

    struct Case {
        int mode;
        std::vector<std::string> calls;
        std::vector<std::string> lines;
        int count;
    };
    const Case cases[] = {
        {0, {}, {}, 1},  // only the read-only one is modified: nothing attempted, nothing logged
        {-1, {"write Def -1"}, {"Write branch 'root'"}, 1},
        {1, {"write Def 1", "write Plain 1"}, {"Write branch 'root'", "Write branch 'child'"}, 3},
    };
    for (const auto& c : cases) {
        FakeContext context;
        const GroupResult result = root.WriteAll(context, c.mode);
        EXPECT_EQ(context.calls, c.calls) << c.mode;
        EXPECT_EQ(context.lines, c.lines) << c.mode;
        EXPECT_EQ(result, (GroupResult{static_cast<int>(c.calls.size()), static_cast<int>(c.calls.size())}));
        EXPECT_EQ(root.CountToWrite(c.mode), c.count) << c.mode;
    }
}

TEST(Elements, ReadAndCompareWalkOwnParametersThenChildren) {
    DescBranch root;
    root.name = "root";
    root.AddParameter(param("A"));
    auto& child = root.AddChild(std::make_unique<DescBranch>());
    child.name = "child";
    child.AddParameter(param("B"));
    child.AddParameter(param("C"));

    FakeContext reads;
    EXPECT_EQ(root.ReadAll(reads), (GroupResult{3, 3}));
    EXPECT_EQ(reads.calls, (std::vector<std::string>{"read A", "read B", "read C"}));
    EXPECT_EQ(reads.lines, (std::vector<std::string>{"Read branch 'root'", "Read branch 'child'"}));

    FakeContext compares;
    EXPECT_EQ(root.CompareAll(compares), (GroupResult{3, 3}));
    EXPECT_EQ(compares.done, 3);
    EXPECT_EQ(compares.lines.front(), "Compare branch 'root'");

    FakeContext cancelled;
    cancelled.abort_after = 2;
    EXPECT_EQ(root.ReadAll(cancelled), (GroupResult{2, 2}));
}

// After an abort no later branch writes anything, nor says it would.
TEST(Elements, WriteStopsAtOnceWhenAborted) {
    DescBranch root;
    root.name = "root";
    root.AddParameter(param("A"));
    for (const char* name : {"B", "C"}) {
        auto& child = root.AddChild(std::make_unique<DescBranch>());
        child.name = name;
        child.AddParameter(param(name));
        child.AddParameter(param(name));
    }
    FakeContext writes;
    writes.abort_after = 2;
    root.WriteAll(writes, 1);
    EXPECT_EQ(writes.calls, (std::vector<std::string>{"write A 1", "write B 1"}));
    EXPECT_EQ(writes.lines, (std::vector<std::string>{"Write branch 'root'", "Write branch 'B'"}));
}

TEST(Elements, CommonIndexWarnsOnceAboutAWrongIndex) {
    HeadlessUi ui;
    set_ui(&ui);
    ObjectWithParameters element;
    element.AddParameter(param("A", 2));
    element.AddParameter(param("B", 2));
    element.AddParameter(param("C", 3));
    element.AddParameter(param("D"));
    EXPECT_EQ(element.CommonIndex(), 2);  // the first indexed parameter sets it
    EXPECT_EQ(element.CommonIndex(), 2);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "Parameter 'C' (<unknown parameter>) wrong index");
    element.SetCommonIndex(7);
    EXPECT_EQ(element.parameters[2]->network_index, 7);
    EXPECT_EQ(element.parameters[3]->network_index, 0);  // not indexed
    set_ui(nullptr);
}

TEST(Elements, FindParameterSearchesDeeperForTheIndex) {
    DescBranch root;
    root.AddParameter(param("tbl", 1));
    auto& child = root.AddChild(std::make_unique<DescBranch>());
    auto& wanted = child.AddParameter(param("TBL", 5));
    auto& grandchild = child.AddChild(std::make_unique<DescBranch>());
    grandchild.AddParameter(param("tbl", 9));

    EXPECT_EQ(root.FindParameter("tbl", nullptr, nullptr, nullptr, 5), &wanted);
    EXPECT_EQ(root.FindParameter("tbl", nullptr, nullptr, nullptr, 4), nullptr);

    DescBranch::IndexMap map;
    int max_index = 0;
    int first_offset = 0;
    root.FindParameter("tbl", &map, &max_index, &first_offset, 0);
    EXPECT_EQ(map.size(), 3u);
    EXPECT_EQ(max_index, 9);
    EXPECT_EQ(first_offset, 1);
}

TEST(Elements, ScannersCollapsingAndReset) {
    DescBranch scanners;
    EXPECT_EQ(scanners.ScannerState(), -1);
    scanners.AddParameter(param("rEAd"));
    EXPECT_TRUE(scanners.IsCollapsible());
    EXPECT_EQ(scanners.DisplayParameter(), scanners.parameters[0].get());
    scanners.MakeScanners();
    EXPECT_EQ(scanners.ScannerState(), 0);
    scanners.parameters[0]->StartTimer();
    EXPECT_EQ(scanners.ScannerState(), 1);
    std::vector<Parameter*> list;
    EXPECT_EQ(scanners.CollectScanners(list), 1);
    scanners.parameters[0]->StopTimer();

    auto& p = *scanners.parameters[0];
    p.set_failure(FailureKind::Timeout, "Time-out error");
    p.access_attribute = false;
    p.value_modified = true;
    EXPECT_EQ(scanners.ChangeState(), 2);
    EXPECT_TRUE(scanners.HasDeviceDifferences(false));
    scanners.ResetValues();
    EXPECT_EQ(p.value_text(), "no data");
    EXPECT_TRUE(p.error_text.empty() && p.access_attribute && !p.value_modified);
    EXPECT_EQ(p.failure_kind(), FailureKind::None);
    EXPECT_EQ(scanners.ChangeState(), 0);
    p.set_failure(FailureKind::Discrepancy, "Device value '5',read/writeunknown");
    EXPECT_FALSE(scanners.HasDeviceDifferences(false));
    EXPECT_TRUE(scanners.HasDeviceDifferences(true));
}

}  // namespace
}  // namespace varda
