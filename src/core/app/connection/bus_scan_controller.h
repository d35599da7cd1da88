#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "core/link/bus_scan.h"
#include "core/platform/events.h"

namespace varda {

class Device;

// What the "Find modules on the bus" window shows; called on the user-interface thread.
class BusScanView {
  public:
    virtual ~BusScanView() = default;
    virtual void show_progress(const BusScanProgress& progress) = 0;
    virtual void add_module(const FoundModule& module) = 0;
    virtual void scan_finished(const BusScanResult& result) = 0;
};

// The logic of that window: the scan runs on a thread of its own (the window stays responsive and Cancel
// works between two addresses); a module found can become the one the configurator talks to.
class BusScanController {
  public:
    explicit BusScanController(Device& device);
    ~BusScanController();
    BusScanController(const BusScanController&) = delete;
    BusScanController& operator=(const BusScanController&) = delete;

    // The configured baud rate and address length; addresses 1-247 (1-100 with 11-bit addresses, whose
    // 2048 addresses take minutes).
    BusScanRequest default_request() const;
    // "about 14 s" for the request at the configured line settings.
    std::string estimate_text(const BusScanRequest& request) const;

    void start(const BusScanRequest& request, BusScanView& view);
    void cancel();
    bool running() const { return running_; }

    // Takes the module's baud rate and address as the configurator's settings and connects to it; true
    // when a known model answered.
    bool connect_to(const FoundModule& module);

  private:
    void join();

    Device& device_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    platform::Event cancel_{platform::Event::Reset::Manual};
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace varda
