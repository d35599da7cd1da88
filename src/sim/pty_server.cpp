#include "sim/pty_server.h"

#include "sim/pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace varda::sim {
namespace {

// Silence after which a partial Modbus RTU frame is dropped. Far above the 3.5 character times of the
// standard at any baud rate, since a pty delivers a client's write in pieces only when it is scheduled out.
constexpr std::chrono::milliseconds kIdleGap{20};

void set_cloexec(int fd) {
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

}  // namespace

PtyServer::PtyServer(std::shared_ptr<SimulatedModule> module) {
    if (module) modules_.push_back(std::move(module));
}

PtyServer::PtyServer(std::vector<std::shared_ptr<SimulatedModule>> bus) : modules_(std::move(bus)) {}

PtyServer::~PtyServer() {
    stop();
}

void PtyServer::set_line_timing(bool on, const LineSettings& line) {
    line_timing_ = on;
    line_ = line;
}

bool PtyServer::start(std::string& error) {
    if (thread_.joinable()) {
        error = "already serving";
        return false;
    }
    if (modules_.empty()) {
        error = "no module to serve";
        return false;
    }
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    set_cloexec(master_);
    set_cloexec(slave_);
    // Raw from the start: a cooked line discipline would turn the frames' carriage returns into newlines.
    termios tio{};
    ::tcgetattr(slave_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

    char name[256] = {};
    if (::ttyname_r(slave_, name, sizeof name) != 0) {
        error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        ::close(master_);
        ::close(slave_);
        master_ = slave_ = -1;
        return false;
    }
    slave_path_ = name;
    stop_.reset();
    thread_ = std::thread([this] { run(); });
    return true;
}

void PtyServer::stop() {
    stop_.set();
    if (thread_.joinable()) thread_.join();
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

double PtyServer::character_ms() const {
    if (!line_timing_) return 0;
    LineSettings line = terminal_line(slave_).value_or(line_);
    if (line.baud_rate <= 0) line = line_;
    const bool parity = line.parity_code > 0 && line.parity_code != 3;  // "none or even" counts as none
    return 1000.0 * (1 + line.data_bits + (parity ? 1 : 0) + line.stop_bits) / line.baud_rate;
}

void PtyServer::run() {
    using namespace std::chrono;
    char buffer[256];
    bool heard = false;  // characters arrived since the line was last quiet
    auto idle_at = Clock::time_point::max();
    for (;;) {
        const auto wake = std::min(emit(), heard ? idle_at : Clock::time_point::max());
        const auto wait = wake == Clock::time_point::max()
                              ? milliseconds(-1)
                              : std::max(milliseconds(0), ceil<milliseconds>(wake - Clock::now()));
        const int woke = platform::wait_any({&stop_}, wait, platform::FdWait{master_, POLLIN});
        if (woke == 0) return;
        if (woke == platform::kWaitTimeout) {
            if (heard && Clock::now() >= idle_at) {
                for (const auto& module : modules_)
                    module->line_idle();
                heard = false;
            }
            continue;
        }
        const ssize_t got = ::read(master_, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            // No client should make the master fail while the slave is held open; avoid spinning if it does.
            if (stop_.wait(milliseconds(10))) return;
            continue;
        }
        heard = true;
        idle_at = Clock::now() + kIdleGap;
        const auto line = terminal_line(slave_);
        for (const auto& module : modules_) {
            if (line && !module->hears(*line))
                continue;  // in another format the characters are garbage to it
            for (auto& [reply, request_chars] :
                 module->hear(std::string_view(buffer, static_cast<std::size_t>(got))))
                queue(*module, std::move(reply), request_chars);
        }
    }
}

void PtyServer::queue(SimulatedModule& from, std::string reply, std::size_t request_chars) {
    // The reply cannot start before its request has crossed the line and the module has thought about it.
    const auto start = Clock::now() + from.take_reply_delay() +
                       std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(
                           static_cast<double>(request_chars) * character_ms()));
    // A reply already going out keeps its place.
    const auto first = out_.begin() + (!out_.empty() && out_.front().sent > 0 ? 1 : 0);
    const auto at = std::upper_bound(first, out_.end(), start,
                                     [](Clock::time_point t, const Outgoing& o) { return t < o.start; });
    out_.insert(at, Outgoing{start, std::move(reply)});
}

PtyServer::Clock::time_point PtyServer::emit() {
    using namespace std::chrono;
    const double ms = character_ms();
    const auto character = duration_cast<Clock::duration>(duration<double, std::milli>(ms));
    while (!out_.empty()) {
        Outgoing& o = out_.front();
        const auto now = Clock::now();
        if (o.sent == 0) o.start = std::max(o.start, line_free_);  // the line carries one reply at a time
        if (o.start > now) return o.start;
        // Paced with line timing: each character is there once its time on the line has passed.
        std::size_t due = o.chars.size();
        if (ms > 0) due = std::min(due, static_cast<std::size_t>((now - o.start) / character));
        if (due <= o.sent) return o.start + static_cast<Clock::duration::rep>(o.sent + 1) * character;
        const ssize_t put = ::write(master_, o.chars.data() + o.sent, due - o.sent);
        if (put < 0 && (errno == EAGAIN || errno == EINTR)) return now + milliseconds(1);
        if (put < 0) {  // the reply is lost; keep serving
            out_.pop_front();
            continue;
        }
        o.sent += static_cast<std::size_t>(put);
        if (o.sent < o.chars.size()) continue;
        line_free_ = ms > 0 ? o.start + static_cast<Clock::duration::rep>(o.chars.size()) * character : now;
        out_.pop_front();
    }
    return Clock::time_point::max();
}

}  // namespace varda::sim
