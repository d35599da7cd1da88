// The connection dialog's logic against the simulated module, without a window.
#include "core/app/connection/connection_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/app/command_line/headless_ui.h"
#include "core/link/device.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/model/network_elements.h"
#include "core/platform/settings_store.h"
#include "sim/in_process_backend.h"
#include "sim/simulated_module.h"
#include "tests/support/identifying_module.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

struct RecordingView : ConnectionView {
    void show_status(const std::string& text, bool alarm) override { statuses.push_back({text, alarm}); }
    void set_table_enabled(bool enabled) override { table_enabled = enabled; }
    void show_value(const Parameter& p) override { shown.push_back(p.network_name() + "=" + p.value_text()); }
    std::optional<int> select_device() override {
        ++selections;
        return chosen;
    }
    void close(bool ok) override { closed = ok; }

    std::vector<std::pair<std::string, bool>> statuses;
    std::vector<std::string> shown;
    bool table_enabled = true;
    std::optional<int> chosen;
    int selections = 0;
    std::optional<bool> closed;
};

struct Dialog : test::IdentifyingModuleRig {
    Dialog() {
        store.set_string(kSettingsGroup, "port", "sim");
        device = std::make_unique<Device>(context, line(), options);
    }
    ~Dialog() {
        controller.reset();
        device.reset();
    }
    void open(bool offline_allowed = true) {
        controller = std::make_unique<ConnectionController>(*device, options, offline_allowed);
        controller->open(view);
    }
    // Runs what the dialog's thread posts until the dialog closes (or the time is up).
    void pump_until_closed(std::chrono::seconds limit = 60s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!view.closed && std::chrono::steady_clock::now() < end) {
            ui.run_posted();
            std::this_thread::sleep_for(2ms);
        }
    }
    void pump_until_status(std::string_view prefix) {
        const auto end = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < end) {
            ui.run_posted();
            for (const auto& s : view.statuses)
                if (s.first.rfind(prefix, 0) == 0) return;
            std::this_thread::sleep_for(2ms);
        }
    }
    Parameter& rate() { return *device->program_network().FindOwnParameter("bPS"); }
    std::vector<std::string> status_texts() const {
        std::vector<std::string> out;
        for (const auto& s : view.statuses)
            out.push_back(s.first);
        return out;
    }

    std::unique_ptr<Device> device;
    RecordingView view;
    std::unique_ptr<ConnectionController> controller;
};

TEST(ConnectionDialog, ConnectSucceeds) {
    Dialog d;
    d.open();
    d.controller->connect();
    d.pump_until_closed();
    EXPECT_EQ(d.view.closed, true);
    EXPECT_EQ(d.context.model.load(), 5);
    ASSERT_FALSE(d.view.statuses.empty());
    EXPECT_EQ(d.view.statuses.back(), (std::pair<std::string, bool>{"Connection established", false}));
    ASSERT_EQ(d.ui.messages().size(), 1u);
    EXPECT_EQ(d.ui.messages()[0].text, "Connection established");
    EXPECT_TRUE(d.view.table_enabled);
}

TEST(ConnectionDialog, ScanFindsTheModuleAtItsBaudRate) {
    Dialog d;
    d.backend->set_module_baud_rate(19200);
    d.rate().set_data_type("57600:115200:19200:9600");  // a short list keeps the test quick
    d.open();
    d.controller->scan();
    d.pump_until_closed();
    EXPECT_EQ(d.view.closed, true);
    EXPECT_EQ(d.rate().value_text(), "19200");
    const auto texts = d.status_texts();
    EXPECT_EQ(
        std::count_if(texts.begin(), texts.end(), [](auto& t) { return t.rfind("Scanning at", 0) == 0; }), 3);
    EXPECT_EQ(texts.back(), "Connection established");
}

TEST(ConnectionDialog, AScanOverNothingTriesEachRateOnceAndRestoresTheRate) {
    Dialog d;
    sim::Faults silent;
    silent.always_silent = true;
    d.module->set_faults(silent);
    d.rate().set_data_type("57600:115200");
    d.open();
    d.controller->scan();
    d.pump_until_status("Unable");
    EXPECT_FALSE(d.view.closed);
    EXPECT_EQ(d.view.statuses.back(),
              (std::pair<std::string, bool>{"Unable to establish communication with the device", true}));
    EXPECT_EQ(d.rate().value_text(), "115200");
    // Each rate: two own-protocol passes of two identifications, "dev" sent twice (a time-out is retried).
    EXPECT_EQ(d.module->requests_seen(hash_name("dev")), 2 * 2 * 2 * 2);
    EXPECT_EQ(d.context.switch_over.load(), SwitchOverMode::Ravelin);
    d.controller->exit();
    d.pump_until_closed();
    EXPECT_EQ(d.view.closed, false);
}

TEST(ConnectionDialog, ExitDuringAScanLetsTheAttemptFinishAndCancels) {
    Dialog d;
    sim::Faults silent;
    silent.always_silent = true;
    d.module->set_faults(silent);
    d.rate().set_data_type("57600:38400:19200");
    d.open();
    d.controller->scan();
    d.pump_until_status("Scanning at baud rate 57600");
    d.controller->exit();
    EXPECT_EQ(d.view.statuses.back().first, "Terminating...");
    d.pump_until_closed();
    EXPECT_EQ(d.view.closed, false);
    EXPECT_EQ(d.rate().value_text(), "115200");  // the rate set before the scan
    const auto texts = d.status_texts();
    EXPECT_EQ(
        std::count_if(texts.begin(), texts.end(), [](auto& t) { return t.rfind("Scanning at", 0) == 0; }), 1);
}

TEST(ConnectionDialog, WhatTheThreadPostedIsDroppedOnceTheControllerIsGone) {
    Dialog d;
    d.open();
    d.controller->connect();
    const auto shown = d.view.statuses.size();  // "Scanning...", said at once
    // The thread connects and posts its statuses and its command; the window goes before running them.
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (d.context.model.load() != 5 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(2ms);
    d.controller.reset();
    EXPECT_GT(d.ui.run_posted(), 0);
    EXPECT_EQ(d.view.statuses.size(), shown);
    EXPECT_FALSE(d.view.closed.has_value());
}

TEST(ConnectionDialog, FactorySettingsKeepThePort) {
    Dialog d;
    d.rate().SetValueText("19200");
    d.open();
    d.controller->use_factory_settings();
    EXPECT_EQ(d.rate().value_text(), "9600");
    EXPECT_EQ(d.device->program_network().GetValueText("Port"), "sim");
    d.pump_until_closed();
    EXPECT_EQ(d.view.closed, true);  // and it connected with them
}

TEST(ConnectionDialog, WorkOffline) {
    for (const std::optional<int> chosen : {std::optional<int>(7), std::optional<int>()}) {
        Dialog d;
        d.view.chosen = chosen;
        d.open();
        d.controller->work_offline();
        d.pump_until_closed();
        EXPECT_EQ(d.view.selections, 1);
        EXPECT_EQ(d.view.closed, chosen.has_value());
        EXPECT_EQ(d.context.model.load(), chosen.value_or(kNoModel));
        EXPECT_FALSE(d.options.read_automatically);
    }
}

TEST(ConnectionDialog, APortThatCannotBeOpenedSaysWhy) {
    Dialog d;
    d.backend->set_unplugged(true);
    ASSERT_FALSE(d.device->connect());  // the start-up connection
    d.open();
    const std::pair<std::string, bool> no_device{"Cannot open serial port: no such device", true};
    ASSERT_FALSE(d.view.statuses.empty());
    EXPECT_EQ(d.view.statuses.front(), no_device);  // as soon as the dialog shows
    d.view.statuses.clear();
    d.controller->connect();
    d.pump_until_status("Cannot open");
    EXPECT_EQ(d.view.statuses.back(), no_device);
    // Plugged in, the same dialog connects.
    d.backend->set_unplugged(false);
    d.controller->connect();
    d.pump_until_closed();
    EXPECT_EQ(d.view.closed, true);
}

TEST(ConnectionDialog, ASilentModuleIsNotAMissingPort) {
    Dialog d;
    sim::Faults silent;
    silent.always_silent = true;
    d.module->set_faults(silent);
    ASSERT_FALSE(d.device->connect());
    d.open();
    // The port opened: nothing alarming about it, only how the direction is switched.
    ASSERT_EQ(d.view.statuses.size(), 1u);
    EXPECT_EQ(d.view.statuses[0],
              (std::pair<std::string, bool>{"Direction control in use: automatic by the adapter", false}));
    d.controller->exit();
    d.pump_until_closed();
}

}  // namespace
}  // namespace varda
