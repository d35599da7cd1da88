#include "core/app/connection/bus_scan_controller.h"

#include "core/link/device.h"
#include "core/model/network_elements.h"
#include "core/platform/ui.h"

namespace varda {
namespace {
constexpr int kLastAddress8 = 247;
constexpr int kLastAddress11 = 100;
}  // namespace

BusScanController::BusScanController(Device& device) : device_(device) {}

BusScanController::~BusScanController() {
    *alive_ = false;
    cancel();
    join();
}

BusScanRequest BusScanController::default_request() const {
    BusScanRequest request;
    const PortSettings& line = device_.sio().settings;
    request.baud_rates = {line.baud_rate};
    request.address_width = line.address_width == 11 ? 11 : 8;
    request.first_address = 1;
    request.last_address = request.address_width == 11 ? kLastAddress11 : kLastAddress8;
    return request;
}

std::string BusScanController::estimate_text(const BusScanRequest& request) const {
    return duration_text(scan_estimate_seconds(request, device_.sio().settings));
}

void BusScanController::start(const BusScanRequest& request, BusScanView& view) {
    if (running_) return;
    join();
    cancel_.reset();
    running_ = true;
    const auto alive = alive_;
    BusScanView* shown = &view;
    thread_ = std::thread([this, request, alive, shown] {
        const BusScanResult result = scan_bus(
            device_, request,
            [alive, shown](const BusScanProgress& progress) {
                ui().post([alive, shown, progress] {
                    if (*alive) shown->show_progress(progress);
                });
            },
            [alive, shown](const FoundModule& module) {
                ui().post([alive, shown, module] {
                    if (*alive) shown->add_module(module);
                });
            },
            &cancel_);
        running_ = false;
        ui().post([alive, shown, result] {
            if (*alive) shown->scan_finished(result);
        });
    });
}

void BusScanController::cancel() {
    cancel_.set();
}

void BusScanController::join() {
    if (thread_.joinable()) thread_.join();
}

bool BusScanController::connect_to(const FoundModule& module) {
    cancel();
    join();
    auto& network = device_.program_network();
    network.SetValue("bPS", std::to_string(module.baud_rate));
    network.SetValue("Addr", std::to_string(module.address));
    return device_.connect();
}

}  // namespace varda
