#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/link/serial_backend.h"
#include "core/platform/events.h"

namespace varda {

// A real serial device (/dev/ttyS*, /dev/ttyUSB*, a pseudo-terminal, ...) driven through termios2, so
// that every baud rate works, not only the ones with a B* constant.
//
// Parity and framing errors and breaks are asked from the driver as marked characters (0xFF 0x00 x);
// they come out of wait_readable as LineError, at the place in the stream where they happened.
class PosixSerialBackend final : public SerialBackend {
  public:
    PosixSerialBackend() = default;
    ~PosixSerialBackend() override;
    PosixSerialBackend(const PosixSerialBackend&) = delete;
    PosixSerialBackend& operator=(const PosixSerialBackend&) = delete;

    bool open(const std::string& path, std::string& error) override;
    void close() override;
    bool is_open() const override { return fd_ >= 0; }

    bool configure(const LineSettings& settings) override;
    bool purge(PurgeKind kind) override;
    WaitOutcome write(std::string_view bytes, platform::Event& stop) override;
    void set_rts(bool raised) override;
    bool set_driver_direction(bool enabled) override;
    WaitOutcome wait_readable(std::chrono::milliseconds timeout, platform::Event& stop) override;
    std::size_t read_available(char* buffer, std::size_t max) override;

  private:
    // Moves what the driver holds into raw_ and decodes it; false when the device is gone.
    bool fill();
    // Turns raw_ into characters, up to the next error marker or an incomplete escape.
    void decode();
    // Waits until the driver has sent everything, the stop event is set or the deadline passes.
    WaitOutcome drain(std::chrono::steady_clock::time_point deadline, platform::Event& stop);
    bool hung_up() const;
    void drop_received();

    int fd_ = -1;
    std::string raw_;              // as read from the driver, escapes included
    std::string decoded_;          // characters ready for read_available
    bool error_pending_ = false;   // an error marker was decoded and not yet reported
    bool marking_ = false;         // the driver marks errors (configured), so 0xFF is an escape
    float character_time_ms_ = 1;  // of the configured format; bounds the wait for a write
    // The driver's RS-485 settings as found, while its RS-485 mode is ours to give back.
    bool driver_direction_ = false;
    std::array<unsigned char, 32> saved_rs485_{};  // struct serial_rs485, kept opaque here
};

}  // namespace varda
