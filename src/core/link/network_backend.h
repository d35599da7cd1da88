#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "core/link/serial_backend.h"

namespace varda {

// Whether a port name is a network gateway: "tcp://host:port" or "rfc2217://host:port".
bool is_gateway_port(std::string_view port_name);

// A serial-to-Ethernet gateway. "tcp://host:port" is a raw TCP gateway: the gateway owns the line
// settings, configure() changes nothing there. "rfc2217://host:port" speaks Telnet with the COM-port
// option (RFC 2217): baud rate, data bits, parity and stop bits are set through the protocol, so the
// connection procedure's baud-rate scan and following APLY work as on a local port. A gateway switches
// the RS-485 direction itself.
class NetworkSerialBackend final : public SerialBackend {
  public:
    NetworkSerialBackend() = default;
    ~NetworkSerialBackend() override;
    NetworkSerialBackend(const NetworkSerialBackend&) = delete;
    NetworkSerialBackend& operator=(const NetworkSerialBackend&) = delete;

    bool open(const std::string& path, std::string& error) override;
    void close() override;
    bool is_open() const override { return fd_ >= 0; }
    bool configure(const LineSettings& settings) override;
    bool purge(PurgeKind kind) override;
    WaitOutcome write(std::string_view bytes, platform::Event& stop) override;
    void set_rts(bool raised) override;
    WaitOutcome wait_readable(std::chrono::milliseconds timeout, platform::Event& stop) override;
    std::size_t read_available(char* buffer, std::size_t max) override;
    std::string gone_reason() const override { return gone_; }

  private:
    bool send_all(std::string_view bytes);
    // Notes that the gateway closed the connection, with what it said last when that was text.
    void mark_gone();
    // Reads what the socket holds; false when the gateway closed the connection.
    bool fill();
    // Moves raw_ into data_, answering and dropping the Telnet commands in it.
    void strip_telnet();

    int fd_ = -1;
    bool telnet_ = false;
    std::string raw_;
    std::string data_;
    std::string gone_;
};

// The port under Sio: a local serial device, or a gateway when the name is a network address. Chosen at
// each open(), so the connection dialog can switch between them.
class PortBackend final : public SerialBackend {
  public:
    PortBackend();
    ~PortBackend() override;
    bool open(const std::string& path, std::string& error) override;
    void close() override;
    bool is_open() const override { return active_->is_open(); }
    bool configure(const LineSettings& settings) override { return active_->configure(settings); }
    bool purge(PurgeKind kind) override { return active_->purge(kind); }
    WaitOutcome write(std::string_view bytes, platform::Event& stop) override {
        return active_->write(bytes, stop);
    }
    void set_rts(bool raised) override { active_->set_rts(raised); }
    WaitOutcome wait_readable(std::chrono::milliseconds timeout, platform::Event& stop) override {
        return active_->wait_readable(timeout, stop);
    }
    std::size_t read_available(char* buffer, std::size_t max) override {
        return active_->read_available(buffer, max);
    }
    std::string gone_reason() const override { return active_->gone_reason(); }

  private:
    std::unique_ptr<SerialBackend> local_;
    std::unique_ptr<SerialBackend> network_;
    SerialBackend* active_;
};

}  // namespace varda
