#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

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

int PtyServer::client_baud() const {
    termios tio{};
    if (slave_ < 0 || ::tcgetattr(slave_, &tio) != 0) return 0;
    static constexpr std::pair<speed_t, int> kSpeeds[] = {
        {B110, 110},     {B300, 300},     {B600, 600},     {B1200, 1200},     {B2400, 2400},
        {B4800, 4800},   {B9600, 9600},   {B19200, 19200}, {B38400, 38400},   {B57600, 57600},
        {B115200, 115200}, {B230400, 230400}};
    const speed_t speed = ::cfgetospeed(&tio);
    for (const auto& [code, baud] : kSpeeds)
        if (code == speed) return baud;
    return 0;
}

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

void PtyServer::run() {
    char buffer[256];
    bool heard = false;  // characters arrived since the line was last quiet
    std::size_t request_chars = 0;
    for (;;) {
        const int woke = platform::wait_any({&stop_}, heard ? kIdleGap : std::chrono::milliseconds(-1),
                                            platform::FdWait{master_, POLLIN});
        if (woke == 0) return;
        if (woke == platform::kWaitTimeout) {
            for (const auto& module : modules_) module->line_idle();
            heard = false;
            continue;
        }
        const ssize_t got = ::read(master_, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            // No client should make the master fail while the slave is held open; avoid spinning if it does.
            if (stop_.wait(std::chrono::milliseconds(10))) return;
            continue;
        }
        heard = true;
        request_chars += static_cast<std::size_t>(got);
        const int baud = client_baud();
        for (const auto& module : modules_) {
            if (!module->hears(baud)) continue;  // at another rate the characters are garbage to it
            for (const auto& reply : module->feed(std::string_view(buffer, static_cast<std::size_t>(got)))) {
                if (!send(*module, reply, request_chars)) return;
                request_chars = 0;
            }
        }
    }
}

bool PtyServer::send(SimulatedModule& from, const std::string& reply, std::size_t request_chars) {
    using namespace std::chrono;
    double character_ms = 0;
    const int baud = line_timing_ ? (client_baud() > 0 ? client_baud() : line_.baud_rate) : 0;
    if (baud > 0) {
        const bool parity = line_.parity_code != 0 && line_.parity_code != 3;
        character_ms = 1000.0 * (1 + line_.data_bits + (parity ? 1 : 0) + line_.stop_bits) / baud;
    }
    const auto character_time =
        duration_cast<steady_clock::duration>(duration<double, std::milli>(character_ms));

    // The reply cannot start before the request has crossed the line and the module has thought about it.
    auto next = steady_clock::now() + from.take_reply_delay() +
                static_cast<steady_clock::duration::rep>(request_chars) * character_time;
    const auto first_wait = ceil<milliseconds>(next - steady_clock::now());
    if (first_wait.count() > 0 && stop_.wait(first_wait)) return false;

    std::size_t sent = 0;
    while (sent < reply.size()) {
        if (stop_.is_set()) return false;
        // Paced one character at a time with line timing, else all at once.
        const std::size_t chunk = character_ms > 0 ? 1 : reply.size() - sent;
        if (character_ms > 0) {
            next += character_time;
            std::this_thread::sleep_until(next);
        }
        const ssize_t put = ::write(master_, reply.data() + sent, chunk);
        if (put > 0) {
            sent += static_cast<std::size_t>(put);
        } else if (put < 0 && errno != EAGAIN && errno != EINTR) {
            return true;  // the reply is lost; keep serving
        } else if (platform::wait_any({&stop_}, milliseconds(100), platform::FdWait{master_, POLLOUT}) == 0) {
            return false;
        }
    }
    return true;
}

}  // namespace varda::sim
