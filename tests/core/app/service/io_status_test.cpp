// The I/O status dialog's logic against simulated modules: tables, lamps, polling, writes and closing.
#include "core/app/service/io_status.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>

#include "core/app/command_line/headless_ui.h"
#include "core/app/tree/table_edit.h"
#include "core/link/device.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using namespace std::chrono_literals;
constexpr auto kFast = 1ms;

// Collects what the controller tells the window, for a test thread to wait on.
class RecordingView final : public IoStatusView {
  public:
    void row_changed(IoSide side, int row, const IoTable::Row& cells) override {
        std::lock_guard lock(mutex_);
        rows_[{side, row}] = cells;
        changed_.notify_all();
    }
    void lamp_changed(IoSide side, int lamp, const std::string& state) override {
        std::lock_guard lock(mutex_);
        lamps_[{side, lamp}] = state;
        changed_.notify_all();
    }
    void polling_ended() override {
        std::lock_guard lock(mutex_);
        ++ended_;
        changed_.notify_all();
    }
    // Waits (with a generous limit that only a hang reaches) until the condition holds.
    template <class Condition>
    bool wait_until(Condition condition) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 20s, [&] { return condition(*this); });
    }
    std::string text(IoSide side, int row, int column = 0) const {
        const auto found = rows_.find({side, row});
        return found == rows_.end() ? std::string() : found->second.texts.at(column);
    }
    std::string lamp(IoSide side, int lamp) const {
        const auto found = lamps_.find({side, lamp});
        return found == lamps_.end() ? std::string() : found->second;
    }
    int ended() const { return ended_; }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::pair<IoSide, int>, IoTable::Row> rows_;
    std::map<std::pair<IoSide, int>, std::string> lamps_;
    int ended_ = 0;
};

// A model's description loaded as the document loads it, with its simulated module on the line.
struct Rig : test::ModelDeviceRig {
    // A window for messages, on the port's own baud rate.
    explicit Rig(int model) : ModelDeviceRig(model, true, 0) {}
    ~Rig() { controller.reset(); }
    IoStatusController& open() {
        controller = std::make_unique<IoStatusController>(*device, description.scanners(),
                                                          device_model_of(description.device_model().get()));
        controller->set_view(&view);
        return *controller;
    }
    // The module's value of the scanner instance shown in a row.
    void set_module_value(IoSide side, int row, const std::string& value) {
        const Parameter* p = controller->table(side).parameter(row);
        ASSERT_TRUE(p);
        ASSERT_TRUE(module->set_value(p->network_name(), -1, value, p->address_offset));
    }
    int requests_for(std::string_view name) const { return module->requests_seen(hash_name(name)); }

    RecordingView view;
    std::unique_ptr<IoStatusController> controller;
};

Rect shifted(Rect r, int dx, int dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

TEST(IoStatusLayout, ModelsPlaceTheirLampsAndTitles) {
    {
        Rig rig(3);  // VK03: eight counters and four outputs
        IoStatusController& c = rig.open();
        EXPECT_EQ(c.title(), "I/O status");
        EXPECT_TRUE(c.has_side(IoSide::Inputs));
        EXPECT_TRUE(c.has_side(IoSide::Outputs));
        const LampGrid& in = c.lamps(IoSide::Inputs);
        EXPECT_EQ(in.columns, 4);
        EXPECT_EQ(in.rows, 2);
        EXPECT_EQ(in.lamps.at(0), (Rect{14, 22, 30, 40}));
        EXPECT_EQ(in.lamps.at(1), shifted({14, 22, 30, 40}, 39, 0));
        EXPECT_EQ(in.lamps.at(4), shifted({14, 22, 30, 40}, 0, 25));
        const LampGrid& out = c.lamps(IoSide::Outputs);
        EXPECT_EQ(out.lamps.size(), 4u);
        EXPECT_EQ(out.lamps.at(0), (Rect{205, 22, 221, 40}));  // (34, 22, 50, 40) over the outputs side
        EXPECT_EQ(out.lamps.at(1), (Rect{266, 22, 282, 40}));
        EXPECT_EQ(c.input_lamp_count(), 8);
    }
    {
        Rig rig(1);  // VK01: outputs only, in the place of the inputs
        IoStatusController& c = rig.open();
        EXPECT_EQ(c.title(), "Output status");
        EXPECT_FALSE(c.has_side(IoSide::Inputs));
        EXPECT_TRUE(c.lamps(IoSide::Inputs).lamps.empty());
        EXPECT_EQ(c.table(IoSide::Inputs).columns().size(), 3u);  // columns only
        EXPECT_EQ(c.table(IoSide::Inputs).row_count(), 0);
        EXPECT_EQ(c.lamps(IoSide::Outputs).lamps.at(0), (Rect{14, 22, 30, 40}));
    }
    {
        Rig rig(0);
        EXPECT_EQ(rig.open().title(), "Input status");
    }
}

TEST(IoStatusLayout, GridNumbersLampsAcrossThenDownAndKeepsItsBounds) {
    const Rect first{6, 18, 22, 31};
    const LampGrid sixteen = lay_out_lamps(16, first, 19, 14);
    EXPECT_EQ(sixteen.columns, 8);
    EXPECT_EQ(sixteen.rows, 2);
    for (int k = 0; k < 16; ++k)  // labels 1 to 8 in the first row, 9 to 16 in the second
        EXPECT_EQ(sixteen.lamps.at(k), shifted(first, (k % 8) * 19, (k / 8) * 14)) << k;

    struct Case {
        int table_rows;
        int columns;
        int rows;
    };
    for (const Case& c : {Case{0, 0, 0}, Case{1, 1, 1}, Case{3, 1, 3}, Case{5, 2, 2}, Case{32, 8, 4},
                          Case{40, 8, 4}, Case{100, 8, 4}}) {
        const LampGrid grid = lay_out_lamps(c.table_rows, first, 19, 14);
        EXPECT_EQ(grid.columns, c.columns) << c.table_rows;
        EXPECT_EQ(grid.rows, c.rows) << c.table_rows;
        EXPECT_EQ(grid.lamps.size(), static_cast<std::size_t>(c.columns * c.rows)) << c.table_rows;
    }
    EXPECT_TRUE(lay_out_lamps(8, std::nullopt, 19, 14).lamps.empty());
    // Zero steps would stack the lamps: they stand side by side instead.
    const LampGrid stacked = lay_out_lamps(4, first, 0, 0);
    EXPECT_EQ(stacked.lamps.at(1), shifted(first, 16, 0));
    EXPECT_EQ(stacked.lamps.at(2), shifted(first, 0, 13));

    EXPECT_EQ(dialog_units_to_pixels({14, 22, 30, 40}, 6, 13), (Rect{21, 36, 45, 65}));
}

TEST(IoStatusLamps, ColourFollowsTheState) {
    struct Case {
        IoSide side;
        const char* state;
        LampColour colour;
    };
    using enum LampColour;
    const Case cases[] = {
        {IoSide::Inputs, "1", InputOn},          {IoSide::Inputs, "0", Default},
        {IoSide::Inputs, "", Default},           {IoSide::Inputs, "1.0", Default},
        {IoSide::Outputs, "1", OutputOn},        {IoSide::Outputs, "1.000", OutputOn},
        {IoSide::Outputs, "0.5", OutputPartial}, {IoSide::Outputs, ".5", OutputPartial},
        {IoSide::Outputs, "-1", OutputPartial},  {IoSide::Outputs, "2 mA", OutputPartial},
        {IoSide::Outputs, "0", Default},         {IoSide::Outputs, "0.0004", Default},
        {IoSide::Outputs, "no data", Default},   {IoSide::Outputs, "", Default},
        {IoSide::Outputs, "nan", Default},       {IoSide::Outputs, "1e999", OutputPartial},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lamp_colour(c.side, c.state), c.colour) << c.state;
}

TEST(IoStatusTables, ModelsFillTheirTablesFromTheScanners) {
    using cell_flags::kButton;
    constexpr std::uint16_t kReadOnly = cell_flags::kReadOnly;
    Rig rig(3);
    const IoTable in = rig.open().table(IoSide::Inputs);
    ASSERT_EQ(in.columns().size(), 3u);
    EXPECT_EQ(in.columns()[1].caption, "Counters");
    ASSERT_EQ(in.row_count(), 8);
    // Nothing was read yet: "no data" shows as "0".
    EXPECT_EQ(in.rows()[0].texts, (std::vector<std::string>{"0", "Counter 1", "Reset"}));
    EXPECT_EQ(in.rows()[7].texts[1], "Counter 8");
    EXPECT_EQ(in.rows()[0].flags, (std::vector<std::uint16_t>{kReadOnly, kReadOnly, kReadOnly | kButton}));
    const IoTable out = rig.controller->table(IoSide::Outputs);
    ASSERT_EQ(out.row_count(), 4);
    EXPECT_EQ(out.columns()[1].caption, "Outputs");
    EXPECT_EQ(out.rows()[0].texts[0], "0");
    EXPECT_EQ(out.rows()[0].texts[1], out.parameter(0)->description);
    EXPECT_EQ(out.rows()[0].flags, (std::vector<std::uint16_t>{0, kReadOnly}));
    for (int row = 1; row < 4; ++row)  // each row its own instance
        EXPECT_NE(out.parameter(row), out.parameter(row - 1));

    Rig vk00(0);
    const IoTable inputs = vk00.open().table(IoSide::Inputs);
    ASSERT_EQ(inputs.columns().size(), 2u);
    EXPECT_EQ(inputs.columns()[1].caption, "Inputs");
    ASSERT_GT(inputs.row_count(), 0);
    EXPECT_EQ(inputs.rows()[0].texts[1], "Input 1");
    EXPECT_EQ(inputs.rows()[0].flags, (std::vector<std::uint16_t>{kReadOnly, kReadOnly}));
}

TEST(IoStatusTables, InstancesWithoutAStepStillMakeRows) {
    DescBranch scanners;
    auto& lone = scanners.AddParameter(std::make_unique<Parameter>("r.oe"));
    const auto rows = io_table_instances(&scanners, "r.oe");  // one instance at index 0: step 0
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].first, &lone);
    EXPECT_TRUE(io_table_instances(nullptr, "r.oe").empty());
}

TEST(IoStatusPolling, ReadsRowsLampsAndSkipsARowBeingEdited) {
    Rig rig(3);
    IoStatusController& c = rig.open();
    rig.set_module_value(IoSide::Inputs, 0, "42");
    rig.set_module_value(IoSide::Inputs, 1, "55");
    rig.set_module_value(IoSide::Outputs, 0, "1");
    rig.set_module_value(IoSide::Outputs, 1, "0.5");
    DescBranch::IndexMap unused;
    Parameter* states = rig.description.scanners()->FindParameter("r.cn", &unused, nullptr, nullptr, 0);
    ASSERT_TRUE(states);
    ASSERT_TRUE(rig.module->set_value("r.cn", -1, "5", states->address_offset));
    c.table(IoSide::Inputs).parameter(1)->value_modified = true;  // an editor is open on row 1

    c.start(kFast);
    // Two rounds over every input row.
    ASSERT_TRUE(rig.view.wait_until([&](RecordingView& v) {
        return v.text(IoSide::Inputs, 0) == "42" && v.lamp(IoSide::Outputs, 1) == "0.500" &&
               v.lamp(IoSide::Inputs, 2) == "1" && rig.requests_for("r.Cou") >= 2 * 7;
    }));
    c.stop();
    const IoTable in = c.table(IoSide::Inputs);
    EXPECT_EQ(in.rows()[0].texts[0], "42");
    EXPECT_EQ(in.rows()[1].texts[0], "0");  // left alone
    EXPECT_EQ(in.parameter(1)->value_text(), "no data");
    EXPECT_EQ(c.lamp_state(IoSide::Outputs, 0), "1.000");
    EXPECT_EQ(lamp_colour(IoSide::Outputs, c.lamp_state(IoSide::Outputs, 0)), LampColour::OutputOn);
    const std::string bits[] = {"1", "0", "1", "0", "0", "0", "0", "0"};  // "r.cn" = 5
    for (int lamp = 0; lamp < 8; ++lamp)
        EXPECT_EQ(c.lamp_state(IoSide::Inputs, lamp), bits[lamp]) << lamp;
    EXPECT_EQ(rig.view.ended(), 1);
}

TEST(IoStatusPolling, AFailedReadShowsItsTextAndDarkensTheLamp) {
    Rig rig(1);
    IoStatusController& c = rig.open();
    rig.set_module_value(IoSide::Outputs, 0, "1");
    c.start(kFast);
    ASSERT_TRUE(rig.view.wait_until([](RecordingView& v) { return v.lamp(IoSide::Outputs, 0) == "1.000"; }));
    rig.module->set_faults({.error_code = sim::kErrDescriptorNotFound});
    ASSERT_TRUE(rig.view.wait_until([](RecordingView& v) {
        return v.lamp(IoSide::Outputs, 0).empty() && v.text(IoSide::Outputs, 0) != "1.000";
    }));
    c.stop();
    const IoTable out = c.table(IoSide::Outputs);
    EXPECT_FALSE(out.parameter(0)->error_text.empty());
    EXPECT_EQ(out.rows()[0].texts[0], out.parameter(0)->error_text);
}

TEST(IoStatusWrites, ResetAndOutputWritesReportFailures) {
    {
        Rig rig(3);
        IoStatusController& c = rig.open();
        c.reset_counter(2);
        ASSERT_TRUE(rig.ui.messages().empty());
        const Parameter* counter = c.table(IoSide::Inputs).parameter(2);
        EXPECT_EQ(rig.module->value("r.Cou", -1, counter->address_offset), "0");
        EXPECT_FALSE(counter->value_modified);

        rig.module->set_faults({.error_code = sim::kErrValueRejected});
        c.reset_counter(2);
        ASSERT_EQ(rig.ui.messages().size(), 1u);
        EXPECT_EQ(rig.ui.messages()[0].caption, "Parameter error \"r.Cou\"");
        EXPECT_EQ(rig.ui.messages()[0].text, counter->error_text);
        EXPECT_FALSE(counter->error_text.empty());
        EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
        EXPECT_FALSE(counter->value_modified);
    }
    for (const auto& [model, fixed_text] : {std::pair{3, false}, std::pair{11, true}}) {
        Rig rig(model);
        IoStatusController& c = rig.open();
        c.begin_edit(IoSide::Outputs, 1);
        Parameter* output = c.table(IoSide::Outputs).parameter(1);
        EXPECT_TRUE(output->value_modified);
        c.commit_edit(IoSide::Outputs, 1, "1");
        EXPECT_TRUE(rig.ui.messages().empty());
        EXPECT_EQ(rig.module->value("r.oe", -1, output->address_offset), "1.000");
        EXPECT_EQ(rig.view.text(IoSide::Outputs, 1), "1.000");
        EXPECT_FALSE(output->value_modified);

        rig.module->set_faults({.error_code = sim::kErrValueRejected});
        c.begin_edit(IoSide::Outputs, 1);
        c.commit_edit(IoSide::Outputs, 1, "0");
        ASSERT_EQ(rig.ui.messages().size(), 1u) << model;
        EXPECT_EQ(rig.ui.messages()[0].caption, "Parameter error \"r.oe\"");
        EXPECT_EQ(rig.ui.messages()[0].text, fixed_text ? "Parameter writing error" : output->error_text);
        EXPECT_FALSE(output->value_modified);
        // An editor closed without a commit gives the row back to polling.
        c.begin_edit(IoSide::Outputs, 0);
        c.end_edit(IoSide::Outputs, 0);
        EXPECT_FALSE(c.table(IoSide::Outputs).parameter(0)->value_modified);
    }
}

TEST(IoStatusWrites, AClickOnAnOutputLampSwitchesIt) {
    Rig rig(3);
    IoStatusController& c = rig.open();
    const Parameter* output = c.table(IoSide::Outputs).parameter(1);
    for (const char* expected : {"1.000", "0.000", "1.000"}) {
        c.toggle_output(1);
        EXPECT_EQ(rig.module->value("r.oe", -1, output->address_offset), expected);
        // The lamp shows the new state before the next poll.
        EXPECT_EQ(rig.view.lamp(IoSide::Outputs, 1), expected);
    }
    EXPECT_TRUE(rig.ui.messages().empty());
    c.toggle_output(99);  // no such output: nothing happens
    EXPECT_TRUE(rig.ui.messages().empty());
}

TEST(IoStatusClosing, ACloseDuringAReadWaitsForIt) {
    Rig rig(1);
    IoStatusController& c = rig.open();
    rig.set_module_value(IoSide::Outputs, 0, "1");
    // The module holds the first request until the test lets it answer.
    std::mutex gate_mutex;
    std::condition_variable gate;
    bool arrived = false;
    bool open = false;
    rig.module->set_log_sink([&](const sim::LogEntry& entry) {
        if (entry.direction != sim::LogEntry::Direction::Received) return;
        std::unique_lock lock(gate_mutex);
        arrived = true;
        gate.notify_all();
        gate.wait(lock, [&] { return open; });
    });
    c.start(kFast);
    {
        std::unique_lock lock(gate_mutex);
        ASSERT_TRUE(gate.wait_for(lock, 20s, [&] { return arrived; }));
    }
    EXPECT_FALSE(c.close_request());  // the read is still out
    EXPECT_FALSE(c.polling_ended());
    EXPECT_EQ(rig.view.ended(), 0);
    {
        std::lock_guard lock(gate_mutex);
        open = true;
    }
    gate.notify_all();
    ASSERT_TRUE(rig.view.wait_until([](RecordingView& v) { return v.ended() == 1; }));
    EXPECT_TRUE(c.close_request());
    // The read in progress finished its row before the thread ended.
    EXPECT_EQ(c.table(IoSide::Outputs).rows()[0].texts[0], "1.000");
    rig.module->set_log_sink(nullptr);
}

}  // namespace
}  // namespace varda
