#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace varda {

class Device;

// The first connection of a windowed start, on a thread of its own so that the start-up window shows at
// once, says what is being tried and can be cancelled. Steps and the end reach the user-interface thread
// through Ui::post.
class StartupConnection {
  public:
    explicit StartupConnection(Device& device);
    ~StartupConnection();
    StartupConnection(const StartupConnection&) = delete;
    StartupConnection& operator=(const StartupConnection&) = delete;

    // `on_step` gets each thing tried, `on_done` whether a known module answered (false when cancelled).
    void start(std::function<void(const std::string&)> on_step, std::function<void(bool connected)> on_done);
    // Stops the attempt; `on_done` follows soon with false.
    void cancel();
    bool cancelled() const { return cancelled_; }

  private:
    Device& device_;
    std::thread thread_;
    std::atomic<bool> cancelled_{false};
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace varda
