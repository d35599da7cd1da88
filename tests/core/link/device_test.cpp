// The worker, the per-parameter operations and the scanner against the simulated module, in process.
#include "core/link/device.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "core/app/command_line/headless_ui.h"
#include "core/model/elements.h"
#include "sim/in_process_backend.h"
#include "sim/simulated_module.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

constexpr int kTableSize = 200;

// A tree of 200 indexed parameters "tbl" in four branches, matching the module's table.
std::unique_ptr<DescBranch> make_tree(int count = kTableSize) {
    auto root = std::make_unique<DescBranch>();
    root->name = "root";
    for (int b = 0; b < 4; ++b) {
        auto branch = std::make_unique<DescBranch>();
        branch->name = "branch " + std::to_string(b);
        for (int k = b; k < count; k += 4) {
            auto p = std::make_unique<Parameter>("tbl");
            p->set_data_type("int");
            p->indexed = true;
            p->network_index = k;
            p->description = "table " + std::to_string(k);
            p->initial_value_text = "7";
            branch->AddParameter(std::move(p));
        }
        root->AddChild(std::move(branch));
    }
    return root;
}

struct Bench {
    explicit Bench(bool main_window = true)
        : ui(main_window), module(std::make_shared<sim::SimulatedModule>()) {
        set_ui(&ui);
        for (int k = 0; k < kTableSize; ++k)
            module->add({.name = "tbl", .index = k, .type = "int", .value = std::to_string(k)});
        device = std::make_unique<Device>(context, std::make_unique<sim::InProcessBackend>(module), options);
        device->finish_grace = 0ms;  // nobody reads the last lines here
        device->sio().settings.port_name = "sim";
        device->sio().settings.baud_rate = 115200;
        EXPECT_EQ(device->sio().open(), OpenResult::Opened);
    }
    ~Bench() {
        device.reset();
        set_ui(nullptr);
    }
    std::vector<Parameter*> all(DescBranch& root) {
        std::vector<Parameter*> out;
        for (auto& child : root.children)
            for (auto& p : child->parameters)
                out.push_back(p.get());
        return out;
    }
    int lines_starting(std::string_view prefix) const {
        int n = 0;
        for (const auto& line : ui.progress_lines())
            n += line.rfind(prefix, 0) == 0;
        return n;
    }

    HeadlessUi ui;
    ModuleContext context;
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::unique_ptr<Device> device;
};

TEST(DeviceTasks, ReadAllReadsEveryParameterWithProgressLines) {
    Bench bench;
    auto root = make_tree();
    ASSERT_TRUE(bench.device->read_all(*root));
    for (Parameter* p : bench.all(*root))
        EXPECT_EQ(p->value_text(), std::to_string(p->network_index));
    EXPECT_EQ(bench.device->done, kTableSize);
    EXPECT_EQ(bench.device->total, kTableSize);
    EXPECT_EQ(bench.lines_starting("Reading tbl:"), kTableSize);
    EXPECT_EQ(bench.lines_starting("Read branch 'branch "), 4);
    const auto lines = bench.ui.progress_lines();
    EXPECT_EQ(lines.front(), "Read branch 'root'");
    EXPECT_EQ(lines[2], "Reading tbl:0 = 0");
    EXPECT_EQ(lines.back(), "Task accomplished. Window will be closed automatically.");
    EXPECT_EQ(bench.ui.exchange_titles(), std::vector<std::string>{"Read parameters from device"});
}

TEST(DeviceTasks, CancelStopsAtTheNextCheck) {
    Bench bench;
    auto root = make_tree();
    bench.ui.cancel_after_lines(12);  // the root's line, the first branch's line and ten reads
    ASSERT_TRUE(bench.device->read_all(*root));
    EXPECT_EQ(bench.lines_starting("Reading tbl:"), 10);
    {
        std::lock_guard finished(
            bench.context.line_lock);  // the worker holds it until the task has fully ended
        EXPECT_FALSE(bench.device->aborted());
    }
    // The next task runs normally.
    ASSERT_TRUE(bench.device->read_all(*root));
    EXPECT_EQ(bench.lines_starting("Reading tbl:"), 10 + kTableSize);
}

TEST(DeviceTasks, FiveTimeOutsAbortWithOneMessage) {
    Bench bench;
    auto root = make_tree(40);
    sim::Faults silent;
    silent.always_silent = true;
    bench.module->set_faults(silent);
    ASSERT_TRUE(bench.device->read_all(*root));
    EXPECT_EQ(bench.lines_starting("Reading tbl:"), 5);
    // A timed-out read is logged with its failure, never as a value read.
    const Parameter& first = *bench.all(*root).front();
    EXPECT_NE(first.error_text, "");
    EXPECT_EQ(bench.lines_starting("Reading tbl:0: " + first.error_text), 1);
    for (const auto& line : bench.ui.progress_lines())
        EXPECT_EQ(line.find(" = "), std::string::npos) << line;
    const auto messages = bench.ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("5 unsuccessful attempts of reading\n"), std::string::npos);
    EXPECT_NE(messages[0].text.find("- Mode \"Read automatically\" is off\n"), std::string::npos);
    EXPECT_EQ(messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(bench.options.read_automatically);
}

// A command-line job gives up as the window does, and a write stops at once: no later branch writes.
TEST(DeviceTasks, FiveTimeOutsAbortReadsAndWritesWithoutAWindowToo) {
    Bench bench(false);
    auto root = make_tree(40);
    sim::Faults silent;
    silent.always_silent = true;
    bench.module->set_faults(silent);
    ASSERT_TRUE(bench.device->read_all(*root));
    EXPECT_EQ(bench.lines_starting("Reading tbl:"), 5);
    for (Parameter* p : bench.all(*root))
        p->SetValueText("7");
    ASSERT_TRUE(bench.device->write_all(*root));
    EXPECT_EQ(bench.lines_starting("  Write: tbl:"), 5);
    EXPECT_EQ(bench.lines_starting("5 unsuccessful write attempts"), 1);
}

// Rows an exchange never reached say so, and the summary line counts them.
TEST(DeviceTasks, AStoppedExchangeMarksWhatItNeverReached) {
    Bench bench;
    auto root = make_tree(40);
    ASSERT_TRUE(bench.device->compare(*root));
    ExchangeSummary summary = bench.device->last_exchange();
    EXPECT_EQ(summary.number, 1);
    EXPECT_EQ(summary.kind, ExchangeKind::Compare);
    EXPECT_EQ(exchange_summary_text(summary).rfind("Compared 40 parameters, 40 differ, 0 failed, ", 0), 0u);

    sim::Faults gone;
    gone.silent_after = 10;  // the module answers ten reads, then the line goes dead
    bench.module->set_faults(gone);
    bench.module->reset_counters();
    ASSERT_TRUE(bench.device->read_all(*root));
    summary = bench.device->last_exchange();
    EXPECT_EQ(summary.number, 2);
    EXPECT_EQ(summary.processed, 15);
    EXPECT_EQ(summary.failed, 5);
    EXPECT_EQ(summary.not_reached, 25);
    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(exchange_summary_text(summary).rfind("Read 15 parameters, 5 failed, 25 not read, stopped, ", 0),
              0u);
    const std::vector<Parameter*> rows = bench.all(*root);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string expected = i < 10   ? ""
                                     : i < 15 ? "Time-out error"
                                              : "Not read: the exchange was stopped";
        EXPECT_EQ(rows[i]->error_text, expected) << i;
    }
    // No progress line speaks of branches the stopped read never entered.
    EXPECT_EQ(bench.lines_starting("Read branch 'branch "), 2);

    bench.module->set_faults({.always_silent = true});
    ASSERT_TRUE(bench.device->write_all(*root));
    summary = bench.device->last_exchange();
    EXPECT_EQ(summary.kind, ExchangeKind::Write);
    EXPECT_EQ(summary.not_reached, 35);
    EXPECT_EQ(rows.back()->error_text, "Not written: the exchange was stopped");
}

TEST(DeviceTasks, CompareDescribesTheFirstTenDifferences) {
    Bench bench;
    auto root = make_tree();
    ASSERT_TRUE(bench.device->read_all(*root));
    for (int k = 0; k < 12; ++k)
        bench.module->set_value("tbl", k, "999");
    bench.ui.clear();
    ASSERT_TRUE(bench.device->compare(*root));
    EXPECT_EQ(bench.device->difference_count, 12);
    const auto messages = bench.ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(
        messages[0].text.rfind("Differences: 12 (only the first 10 are shown):\n1. Parameter 'tbl (table 0)\n"
                               "configuration: value = 0, access = read/write, user = unknown\n"
                               "device: value = 999, access = read/write, user = unknown\n ",
                               0),
        0u)
        << messages[0].text;
    EXPECT_EQ(messages[0].caption, "Comparison result");
    // Parameters are walked branch by branch: indexes 0, 4, 8 come first in branch 0.
    int noted = 0;
    for (Parameter* p : bench.all(*root))
        noted += p->error_text.rfind("Device value '999',read/writeunknown", 0) == 0;
    EXPECT_EQ(noted, 10);
}

TEST(DeviceTasks, WriteChangesWritesOnlyModifiedWritableParameters) {
    Bench bench;
    auto root = make_tree();
    auto params = bench.all(*root);
    ASSERT_TRUE(params[0]->AcceptValue("100"));
    ASSERT_TRUE(params[1]->AcceptValue("101"));
    params[1]->writable = false;
    bench.module->reset_counters();
    ASSERT_TRUE(bench.device->write_changes(*root));
    EXPECT_EQ(bench.module->requests_total(), 1);
    EXPECT_EQ(bench.module->value("tbl", params[0]->network_index), "100");
    EXPECT_FALSE(params[0]->value_modified);
    EXPECT_EQ(bench.lines_starting("Write branch"), 1);  // only the branch with something to write
    EXPECT_EQ(bench.lines_starting("  Write: tbl:0 = 100 [new value]"), 1);
}

// The exchange window closes before the worker has finished: a command-line job waits for the task's end
// and then runs what the task posted (the APLY after a write of network settings), so the notification must
// be posted by then, and without a window to close it must not be lost either.
TEST(DeviceTasks, TheNetworkNotificationIsPostedBeforeTheTaskEnds) {
    // What the worker touches is declared before the bench, so it outlives the worker.
    std::atomic<std::size_t> posted_at_end{0};
    int notified = 0;
    platform::Event ended(platform::Event::Reset::Manual);
    Bench bench;
    bench.device->on_network_parameter_written = [&notified] { ++notified; };
    bench.device->on_command_line_task_finished = [&] {
        posted_at_end = static_cast<std::size_t>(bench.ui.run_posted());
        ended.set();
    };
    auto root = make_tree(8);
    bench.device->network_parameter_written = true;  // as a write of a network setting leaves it
    ASSERT_TRUE(bench.device->write_all(*root));
    ASSERT_TRUE(ended.wait(5s));
    EXPECT_EQ(posted_at_end.load(), 1u);
    EXPECT_EQ(notified, 1);
}

TEST(DeviceTasks, ApplyDefaultsWritesInitialValuesAndCalibrationEnds) {
    Bench bench;
    auto root = make_tree(8);
    for (int k = 2; k <= 3; ++k) {
        bench.module->add({.name = "clb.k", .index = k, .type = "int", .value = "1234"});
        auto p = std::make_unique<Parameter>("clb.k");
        p->set_data_type("int");
        p->indexed = true;
        p->network_index = k;
        p->initial_value_text = "2048";
        root->AddParameter(std::move(p));
    }
    ASSERT_TRUE(bench.device->apply_defaults(*root));
    EXPECT_EQ(bench.module->value("clb.k", 2), "0");
    EXPECT_EQ(bench.module->value("clb.k", 3), "4095");
    EXPECT_EQ(bench.module->value("tbl", 5), "7");
    EXPECT_EQ(bench.lines_starting("  Write: clb.k:3 = 2048 [new value]"), 1);
}

TEST(DeviceOperations, SingleParameterRules) {
    Bench bench;
    Parameter uninitialised("tbl");
    uninitialised.set_data_type("int");
    EXPECT_EQ(bench.device->write_parameter(uninitialised, 1), 5);
    EXPECT_EQ(uninitialised.error_text, "Value is not recorded, because the parameter is not initialized");

    Parameter hidden("tbl");
    hidden.set_data_type("int");
    hidden.network_index = -1;
    hidden.SetValueText("5");
    EXPECT_EQ(bench.device->read_parameter(hidden, false), 6);
    EXPECT_EQ(bench.device->write_parameter(hidden, 1), 6);
    EXPECT_EQ(bench.device->compare_parameter(hidden), 6);
    EXPECT_EQ(bench.module->requests_total(), 0);

    // Instant recording only when switched on and the value was edited.
    Parameter edited("tbl");
    edited.set_data_type("int");
    edited.indexed = true;
    edited.network_index = 3;
    ASSERT_TRUE(edited.AcceptValue("33"));
    EXPECT_EQ(bench.device->instant_write(edited), 1000);
    bench.options.instant_recording = true;
    EXPECT_EQ(bench.device->instant_write(edited), 0);
    EXPECT_EQ(bench.module->value("tbl", 3), "33");
}

TEST(DeviceOperations, ACompareOfAttributesAloneIsADifference) {
    Bench bench;
    bench.module->add({.name = "FiLt", .type = "int", .value = "5", .access = 0});
    Parameter p("FiLt");
    p.set_data_type("int");
    p.attributes_flag = 1;
    p.SetValueText("5");
    EXPECT_EQ(bench.device->compare_parameter(p), 0);
    EXPECT_EQ(bench.device->difference_count, 1);
    EXPECT_EQ(p.error_text, "Device value '5',read-onlyunknown");
}

TEST(DeviceOperations, ErrorLogLines) {
    Bench bench;
    const auto log =
        std::filesystem::temp_directory_path() / ("varda-elog-" + std::to_string(getpid()) + ".txt");
    std::filesystem::remove(log);
    bench.device->error_log_path = log.string();
    Parameter unknown("ZZZ");
    unknown.set_data_type("int");
    EXPECT_EQ(bench.device->read_parameter(unknown, false), 1);
    Parameter indexed("tbl");
    indexed.set_data_type("int");
    indexed.indexed = true;
    indexed.network_index = 500;
    indexed.SetValueText("1");
    EXPECT_EQ(bench.device->write_parameter(indexed, 1), 1);
    std::ifstream in(log);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(all, "ZZZ - Descriptor not found\ntbl:500 - Parameter index out of range\n");
    std::filesystem::remove(log);
}

TEST(DeviceScanner, ScannersArePolledWhileATaskRuns) {
    Bench bench;
    bench.module->add({.name = "rEAd", .type = "int", .value = "42"});
    bench.module->set_log_sink({});
    DescBranch scanners;
    auto scanner = std::make_unique<Parameter>("rEAd");
    scanner->set_data_type("int");
    scanner->period = 5ms;
    scanners.AddParameter(std::move(scanner));
    scanners.MakeScanners();
    Parameter& s = *scanners.parameters.front();

    int received = 0;
    bench.device->set_scan_receiver(
        [&] { received += static_cast<int>(bench.device->take_scan_results().size()); });
    bench.device->start_scanner(&scanners);
    s.StartTimer();
    auto root = make_tree();
    for (int round = 0; round < 3; ++round)
        ASSERT_TRUE(bench.device->read_all(*root));
    std::this_thread::sleep_for(50ms);
    s.StopTimer();
    bench.device->stop_threads();
    bench.ui.run_posted();
    EXPECT_GT(received, 0);
    EXPECT_GT(bench.module->requests_seen(hash_name("rEAd")), 0);

    // Every request got its own reply before the next request went out: no interleaved frames.
    const auto log = bench.module->log();
    for (std::size_t i = 0; i + 1 < log.size(); i += 2) {
        ASSERT_EQ(log[i].direction, sim::LogEntry::Direction::Received);
        ASSERT_EQ(log[i + 1].direction, sim::LogEntry::Direction::Sent);
    }
}

TEST(DeviceTasks, APortClosedAtTheStartIsOpenedForTheTaskOnly) {
    Bench bench;
    bench.device->sio().close();
    auto root = make_tree(4);
    ASSERT_TRUE(bench.device->read_all(*root));
    EXPECT_EQ(root->children[0]->parameters[0]->value_text(), "0");
    std::lock_guard finished(bench.context.line_lock);
    EXPECT_FALSE(bench.device->sio().is_open());
}

}  // namespace
}  // namespace varda
