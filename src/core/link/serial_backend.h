#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/platform/events.h"
#include "core/platform/serial_ports.h"

namespace varda {

// The character format of the line; its parity is one of the codes of `parity_code`.
struct LineSettings {
    int baud_rate = 9600;
    int parity_code = parity_code::kNone;
    int data_bits = 8;
    int stop_bits = 1;
};

// What a wait for received characters ended with.
enum class WaitOutcome { Readable, Stopped, TimedOut, LineError };

// The serial device under Sio: a real port (PosixSerialBackend) or the simulated module in process.
// Sio owns the transaction logic; a backend only moves characters and reports line conditions.
// What a purge discards. The numbers are those of the port's interface.
enum class PurgeKind { Received = 0, Unsent = 1, Both = 2 };

class SerialBackend {
  public:
    virtual ~SerialBackend() = default;

    // Opens the device for exclusive use. On failure returns false and says why in words a user can
    // act on (no such device, permission denied, busy).
    virtual bool open(const std::string& path, std::string& error) = 0;
    virtual void close() = 0;
    virtual bool is_open() const = 0;

    // Applies the character format; false when the device refuses it.
    virtual bool configure(const LineSettings& settings) = 0;

    // Discards received characters, unsent characters or both; false when that fails.
    virtual bool purge(PurgeKind kind) = 0;

    // Sends the bytes and waits until the device has taken them, or until the stop event is set
    // (then returns Stopped). Returns Readable on success (the name is shared with wait_readable),
    // LineError when the device fails.
    virtual WaitOutcome write(std::string_view bytes, platform::Event& stop) = 0;

    // Raises or clears RTS (the direction line of a semi-automatic adapter).
    virtual void set_rts(bool raised) = 0;

    // Asks the driver to switch the RS-485 transmitter itself (kernel RS-485 mode: the driver raises RTS
    // exactly while it sends); false when it has no such mode. Disabling gives back the mode found before;
    // closing does too.
    virtual bool set_driver_direction(bool /*enabled*/) { return false; }

    // Waits until received characters can be read, the stop event is set, a break or line error is
    // seen, or the time-out ends.
    virtual WaitOutcome wait_readable(std::chrono::milliseconds timeout, platform::Event& stop) = 0;

    // Reads at most `max` of the characters already received, without waiting; returns the count.
    virtual std::size_t read_available(char* buffer, std::size_t max) = 0;

    // Non-empty once the device has gone away for good (a gateway that closed the connection): why, in
    // words a user can act on. Retrying cannot help until the port is opened again.
    virtual std::string gone_reason() const { return {}; }
};

}  // namespace varda
