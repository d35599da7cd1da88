#include "core/app/connection/startup_connection.h"

#include "core/link/device.h"
#include "core/platform/ui.h"

namespace varda {

StartupConnection::StartupConnection(Device& device) : device_(device) {}

StartupConnection::~StartupConnection() {
    *alive_ = false;
    if (thread_.joinable()) {
        device_.abort_event().set();
        thread_.join();
    }
    device_.on_connect_step = nullptr;
    device_.abort_event().reset();
}

void StartupConnection::start(std::function<void(const std::string&)> on_step,
                              std::function<void(bool connected)> on_done) {
    const auto alive = alive_;
    device_.on_connect_step = [alive, on_step](const std::string& text) {
        ui().post([alive, on_step, text] {
            if (*alive) on_step(text);
        });
    };
    device_.abort_event().reset();
    thread_ = std::thread([this, alive, on_done] {
        const bool connected = device_.connect() && !cancelled_;
        ui().post([this, alive, on_done, connected] {
            if (!*alive) return;
            if (thread_.joinable()) thread_.join();
            device_.on_connect_step = nullptr;
            // What the attempt was told to stop must not stop the next one.
            device_.abort_event().reset();
            on_done(connected);
        });
    });
}

void StartupConnection::cancel() {
    cancelled_ = true;
    device_.abort_event().set();
}

}  // namespace varda
