#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/link/serial_backend.h"
#include "core/platform/events.h"
#include "sim/simulated_module.h"

namespace varda::sim {

// Serves one SimulatedModule, or a bus of them, on a pseudo-terminal: a program that opens slave_path() sees
// a serial port with the modules behind it. Every module hears every frame and answers its own addresses
// only, as on an RS-485 line; a module whose baud rate (after APLY) differs from the one the program set on
// the port hears nothing. A thread reads the master side, feeds the module and writes its replies after
// the module's reply delay and, with line timing on, at the pace of the configured character format.
// A pty cannot carry a line error or a break, so that fault is not applied here.
class PtyServer {
  public:
    explicit PtyServer(std::shared_ptr<SimulatedModule> module);
    explicit PtyServer(std::vector<std::shared_ptr<SimulatedModule>> bus);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Set before start(): with line timing each character takes the character time of the baud rate the
    // program set on the port (`line`'s when it cannot be read).
    void set_line_timing(bool on, const LineSettings& line = {});

    // Creates the pseudo-terminal (raw mode) and starts serving. False with a reason on failure.
    bool start(std::string& error);
    // Ends the serving thread and closes the pseudo-terminal. Safe to call more than once.
    void stop();

    const std::string& slave_path() const { return slave_path_; }

  private:
    void run();
    // Sends a reply; false when the stop event ended it.
    bool send(SimulatedModule& from, const std::string& reply, std::size_t request_chars);
    // The baud rate the program set on its side of the terminal; 0 when it cannot be told.
    int client_baud() const;

    std::vector<std::shared_ptr<SimulatedModule>> modules_;
    bool line_timing_ = false;
    LineSettings line_;
    int master_ = -1;
    int slave_ = -1;  // kept open so that the master never sees a hang-up between clients
    std::string slave_path_;
    platform::Event stop_{platform::Event::Reset::Manual};
    std::thread thread_;
};

}  // namespace varda::sim
