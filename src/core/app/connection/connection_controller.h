#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/platform/events.h"

namespace varda {

class Device;
class Parameter;
struct Options;

// What the connection dialog shows; the controller calls it on the user-interface thread (through
// Ui::post), except where noted.
class ConnectionView {
  public:
    virtual ~ConnectionView() = default;
    // The status line: red with the warning beep when `alarm`, blue otherwise.
    virtual void show_status(const std::string& text, bool alarm) = 0;
    virtual void set_table_enabled(bool enabled) = 0;
    // A row's value changed (the scan sets the baud rate, factory settings reset values).
    virtual void show_value(const Parameter& parameter) = 0;
    // The device-selection dialog: the chosen model index, or nothing when the user cancelled.
    virtual std::optional<int> select_device() = 0;
    // A connection or a scan found no module: the dialog may offer another way (the simulated module).
    virtual void nothing_answered() {}
    // The dialog closes: true with OK, false with Cancel.
    virtual void close(bool ok) = 0;
};

// The logic of the connection dialog: its own thread connects or scans the baud rates with the table's
// settings; every way out (Exit, Work offline, a connection made) first stops that thread through the
// device's abort event, and the thread's last posted command completes the action.
class ConnectionController {
  public:
    enum Command { kOk = 1, kCancel = 2, kWorkOffline = 3 };

    ConnectionController(Device& device, Options& options, bool offline_allowed);
    ~ConnectionController();
    ConnectionController(const ConnectionController&) = delete;
    ConnectionController& operator=(const ConnectionController&) = delete;

    bool offline_allowed() const { return offline_allowed_; }

    // Starts the dialog's thread.
    void open(ConnectionView& view);

    // The buttons.
    void connect();
    void scan();
    void use_factory_settings();
    void exit();
    void work_offline();
    // A command reaching the dialog (from the buttons or posted by the thread).
    void command(Command command);

    bool thread_ended() const { return thread_ended_.is_set(); }

  private:
    void run();
    bool scan_baud_rates();
    // The status after a failed connection: the port's own reason when it could not be opened.
    std::string failure_text() const;
    // Runs a task on the user-interface thread while this controller exists.
    void post(std::function<void()> task);
    // Sets a value on the user-interface thread, which owns the texts the window shows, and waits for it;
    // false when the thread is being stopped (the value is set all the same, later).
    bool set_value_on_window_thread(Parameter& parameter, const std::string& text);
    void post_status(const std::string& text, bool alarm);
    void post_command(Command command);
    void stop_thread();

    Device& device_;
    Options& options_;
    const bool offline_allowed_;
    ConnectionView* view_ = nullptr;
    std::atomic<int> pending_action_{kCancel};
    platform::Event connect_request_{platform::Event::Reset::Auto};
    platform::Event scan_request_{platform::Event::Reset::Auto};
    platform::Event thread_ended_{platform::Event::Reset::Manual};
    std::thread thread_;
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace varda
