#include "core/app/connection/connection_controller.h"

#include <chrono>

#include "core/app/connection/connection_status.h"
#include "core/link/device.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/model/network_elements.h"
#include "core/platform/language.h"
#include "core/platform/text.h"
#include "core/platform/ui.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

constexpr const char* kConnected = "Connection established";
constexpr const char* kNoConnection = "Unable to establish communication with the device";
constexpr const char* kTerminating = "Terminating...";

}  // namespace

ConnectionController::ConnectionController(Device& device, Options& options, bool offline_allowed)
    : device_(device), options_(options), offline_allowed_(offline_allowed) {}

ConnectionController::~ConnectionController() {
    // What the thread posted and the window has not run yet must not reach a controller that is gone.
    alive_->store(false);
    stop_thread();
}

std::string ConnectionController::failure_text() const {
    // A port that cannot be opened (no adapter, no permission, busy) is not a silent module.
    const std::string& why = device_.sio().open_error();
    return why.empty() ? kNoConnection : std::string(localized("Cannot open serial port: ")) + why;
}

void ConnectionController::post(std::function<void()> task) {
    ui().post([alive = alive_, task = std::move(task)] {
        if (alive->load()) task();
    });
}

bool ConnectionController::set_value_on_window_thread(Parameter& parameter, const std::string& text) {
    struct Done {
        platform::Event event{platform::Event::Reset::Manual};
        std::atomic<bool> applied{false};
    };
    auto done = std::make_shared<Done>();
    post([this, &parameter, text, done] {
        parameter.SetValueText(text);
        if (view_) view_->show_value(parameter);
        done->applied.store(true, std::memory_order_release);
        done->event.set();
    });
    platform::wait_any({&device_.abort_event(), &done->event}, -1ms);
    return done->applied.load(std::memory_order_acquire);
}

void ConnectionController::open(ConnectionView& view) {
    view_ = &view;
    // At start-up the dialog comes because the connection failed; say why when the port was the reason.
    Sio& port = device_.sio();
    if (!port.open_error().empty())
        view.show_status(failure_text(), true);
    else if (port.is_open() && port.settings.port_name != kSimulatedPortName)
        view.show_status(std::string(localized("Direction control in use: ")) +
                             std::string(localized(direction_control_text(port.direction_control()))),
                         false);
    device_.abort_event().reset();
    thread_ended_.reset();
    pending_action_ = kCancel;
    thread_ = std::thread([this] { run(); });
}

void ConnectionController::stop_thread() {
    if (!thread_.joinable()) return;
    device_.abort_event().set();
    thread_.join();
}

void ConnectionController::post_status(const std::string& text, bool alarm) {
    post([this, text, alarm] {
        if (view_) view_->show_status(text, alarm);
    });
}

void ConnectionController::post_command(Command c) {
    post([this, c] { command(c); });
}

void ConnectionController::run() {
    while (true) {
        const int signalled =
            platform::wait_any({&device_.abort_event(), &connect_request_, &scan_request_}, -1ms);
        if (signalled == 0 || signalled < 0) break;
        post([this] {
            if (view_) view_->set_table_enabled(false);
        });
        bool connected = false;
        if (signalled == 1) {
            connected = device_.connect();
            if (!connected && !device_.abort_event().is_set()) post_status(failure_text(), true);
        } else {
            connected = scan_baud_rates();
        }
        post([this] {
            if (view_) view_->set_table_enabled(true);
        });
        if (connected) {
            post_status(kConnected, false);
            post_command(kOk);
        } else if (!device_.abort_event().is_set()) {
            post([this] {
                if (view_) view_->nothing_answered();
            });
        }
    }
    thread_ended_.set();
    post_command(static_cast<Command>(pending_action_.load()));
}

bool ConnectionController::scan_baud_rates() {
    Parameter* rate = device_.program_network().FindOwnParameter("bps");
    if (!rate) return false;
    // The window reads the row's text at any time: the thread hands each rate to the window's thread and
    // connects once it is set there.
    const std::string before = rate->value_text();
    for (const ValueType::Choice& item : ValueType(rate->data_type()).choices()) {
        if (device_.abort_event().is_set() || !set_value_on_window_thread(*rate, item.written)) break;
        post_status(std::string(localized("Scanning at baud rate ")) + item.written + "...", false);
        if (device_.connect()) return true;
    }
    set_value_on_window_thread(*rate, before);
    if (!device_.abort_event().is_set()) post_status(failure_text(), true);
    return false;
}

void ConnectionController::connect() {
    if (thread_ended()) return;
    connect_request_.set();
    if (view_) view_->show_status("Scanning...", false);
}

void ConnectionController::scan() {
    if (thread_ended()) return;
    scan_request_.set();
}

void ConnectionController::use_factory_settings() {
    if (thread_ended()) return;
    for (auto& p : device_.program_network().parameters) {
        if (platform::iequals(p->network_name(), "port")) continue;
        p->SetValueText(p->initial_value_text);
        if (view_) view_->show_value(*p);
    }
    connect();
}

void ConnectionController::exit() {
    if (thread_ended()) {
        command(kCancel);
        return;
    }
    if (view_) view_->show_status(kTerminating, false);
    pending_action_ = kCancel;
    device_.abort_event().set();
}

void ConnectionController::work_offline() {
    if (thread_ended()) {
        command(kWorkOffline);
        return;
    }
    if (view_) view_->show_status(kTerminating, false);
    pending_action_ = kWorkOffline;
    device_.abort_event().set();
}

void ConnectionController::command(Command c) {
    if (!thread_ended()) {
        // While the thread runs, every command first stops it; its last post completes the command.
        if (c == kOk) {
            pending_action_ = kOk;
            device_.abort_event().set();
        } else if (c == kCancel) {
            exit();
        } else {
            work_offline();
        }
        return;
    }
    if (thread_.joinable()) thread_.join();
    if (!view_) return;
    switch (c) {
        case kOk:
            ui().message(kConnected, MessageIcon::Information);
            view_->close(true);
            break;
        case kCancel:
            view_->close(false);
            break;
        case kWorkOffline: {
            // Offline there is nothing to read automatically.
            options_.read_automatically = false;
            const auto model = view_->select_device();
            if (model) device_.context().model = *model;
            view_->close(model.has_value());
            break;
        }
    }
}

}  // namespace varda
