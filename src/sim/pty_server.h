#pragma once

#include <chrono>
#include <deque>
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
// only, as on an RS-485 line; a module whose baud rate, parity or stop bits (after APLY) differ from what the
// program set on the port hears nothing. A thread reads the master side, feeds the modules and writes each
// reply after that module's reply delay and, with line timing on, after its request's own time on the line,
// at the pace of the character format the program set. Reading goes on while replies wait, so a late reply
// comes while the program asks the next address; replies that would meet on the line go one after the other.
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
    using Clock = std::chrono::steady_clock;
    struct Outgoing {
        Clock::time_point start;  // when its first character begins
        std::string chars;
        std::size_t sent = 0;
    };

    void run();
    // What one character takes with the format the program set (0 without line timing).
    double character_ms() const;
    // Queues a module's reply to a request of `request_chars` characters heard just now.
    void queue(SimulatedModule& from, std::string reply, std::size_t request_chars);
    // Writes what is due of the queued replies; returns when the next character is due (max: nothing queued).
    Clock::time_point emit();

    std::vector<std::shared_ptr<SimulatedModule>> modules_;
    bool line_timing_ = false;
    LineSettings line_;
    int master_ = -1;
    int slave_ = -1;  // kept open so that the master never sees a hang-up between clients
    std::string slave_path_;
    platform::Event stop_{platform::Event::Reset::Manual};
    std::thread thread_;
    std::deque<Outgoing> out_;       // replies in the order they go out
    Clock::time_point line_free_{};  // when the last reply sent has left the line
};

}  // namespace varda::sim
