#include "core/link/network_backend.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>

#include "core/link/posix_serial_backend.h"

namespace varda {
namespace {

constexpr unsigned char kIac = 255, kWill = 251, kWont = 252, kDo = 253, kDont = 254, kSb = 250, kSe = 240;
constexpr unsigned char kComPort = 44;  // RFC 2217
constexpr unsigned char kSetBaud = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4, kSetControl = 5;
constexpr auto kConnectTimeout = std::chrono::seconds(5);

struct Address {
    bool telnet = false;
    std::string host;
    std::string port;
};

std::optional<Address> parse_address(std::string_view name) {
    Address a;
    if (name.rfind("tcp://", 0) == 0) {
        name.remove_prefix(6);
    } else if (name.rfind("rfc2217://", 0) == 0) {
        name.remove_prefix(10);
        a.telnet = true;
    } else {
        return std::nullopt;
    }
    while (!name.empty() && name.back() == '/')
        name.remove_suffix(1);
    const auto colon = name.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == name.size()) return std::nullopt;
    a.host = std::string(name.substr(0, colon));
    if (a.host.size() > 2 && a.host.front() == '[' && a.host.back() == ']')
        a.host = a.host.substr(1, a.host.size() - 2);
    a.port = std::string(name.substr(colon + 1));
    int number = 0;
    const auto [end, ec] = std::from_chars(a.port.data(), a.port.data() + a.port.size(), number);
    if (ec != std::errc() || end != a.port.data() + a.port.size() || number < 1 || number > 65535)
        return std::nullopt;
    return a;
}

std::string com_port_command(unsigned char command, std::string_view value) {
    std::string out{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kComPort),
                    static_cast<char>(command)};
    for (const char c : value) {
        out += c;
        if (static_cast<unsigned char>(c) == kIac) out += c;  // doubled inside a subnegotiation too
    }
    out += static_cast<char>(kIac);
    out += static_cast<char>(kSe);
    return out;
}

}  // namespace

bool is_gateway_port(std::string_view port_name) {
    return port_name.rfind("tcp://", 0) == 0 || port_name.rfind("rfc2217://", 0) == 0;
}

NetworkSerialBackend::~NetworkSerialBackend() {
    close();
}

bool NetworkSerialBackend::open(const std::string& path, std::string& error) {
    close();
    gone_.clear();
    const auto address = parse_address(path);
    if (!address) {
        error = path + ": not a gateway address (tcp://host:port or rfc2217://host:port)";
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(address->host.c_str(), address->port.c_str(), &hints, &found); rc != 0) {
        error = path + ": " + ::gai_strerror(rc);
        return false;
    }
    std::string why = "cannot connect";
    for (addrinfo* ai = found; ai && fd_ < 0; ai = ai->ai_next) {
        const int fd =
            ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) continue;
        int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            rc = ::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kConnectTimeout).count()));
            int so_error = rc == 0 ? ETIMEDOUT : 0;
            socklen_t len = sizeof so_error;
            if (rc > 0) ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len);
            rc = so_error == 0 ? 0 : -1;
            errno = so_error;
        }
        if (rc != 0) {
            why = std::strerror(errno);
            ::close(fd);
            continue;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // frames are small and waited for
        fd_ = fd;
    }
    ::freeaddrinfo(found);
    if (fd_ < 0) {
        error = path + ": " + why + " (is the gateway reachable and listening on that port?)";
        return false;
    }
    telnet_ = address->telnet;
    if (telnet_) {
        const std::string hello{static_cast<char>(kIac), static_cast<char>(kWill),
                                static_cast<char>(kComPort)};
        send_all(hello);
    }
    return true;
}

void NetworkSerialBackend::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    raw_.clear();
    data_.clear();
}

bool NetworkSerialBackend::configure(const LineSettings& settings) {
    if (!is_open()) return false;
    if (!telnet_) return true;  // a raw gateway keeps the settings it was given
    const std::uint32_t baud = static_cast<std::uint32_t>(settings.baud_rate);
    const char baud_bytes[4] = {static_cast<char>(baud >> 24), static_cast<char>(baud >> 16),
                                static_cast<char>(baud >> 8), static_cast<char>(baud)};
    // RFC 2217 parity: 1 none, 2 odd, 3 even, 4 mark, 5 space.
    char parity = 1;
    switch (settings.parity_code) {
        case parity_code::kEven:
            parity = 3;
            break;
        case parity_code::kMark:
            parity = 4;
            break;
        case parity_code::kOdd:
            parity = 2;
            break;
        case parity_code::kSpace:
            parity = 5;
            break;
        default:
            parity = 1;
    }
    return send_all(
        com_port_command(kSetBaud, std::string_view(baud_bytes, 4)) +
        com_port_command(kSetDataSize, std::string(1, static_cast<char>(settings.data_bits))) +
        com_port_command(kSetParity, std::string(1, parity)) +
        com_port_command(kSetStopSize, std::string(1, static_cast<char>(settings.stop_bits == 2 ? 2 : 1))));
}

bool NetworkSerialBackend::purge(PurgeKind kind) {
    if (!is_open()) return false;
    if (kind != PurgeKind::Unsent) {
        fill();
        data_.clear();
    }
    return true;
}

bool NetworkSerialBackend::send_all(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0) return false;
            continue;
        }
        if (n < 0 && (errno == EPIPE || errno == ECONNRESET)) {
            fill();  // what the gateway said before it went
            mark_gone();
        }
        return false;
    }
    return true;
}

WaitOutcome NetworkSerialBackend::write(std::string_view bytes, platform::Event& stop) {
    if (stop.is_set()) return WaitOutcome::Stopped;
    if (!is_open()) return WaitOutcome::LineError;
    std::string out;
    if (telnet_) {
        for (const char c : bytes) {
            out += c;
            if (static_cast<unsigned char>(c) == kIac) out += c;
        }
        bytes = out;
    }
    return send_all(bytes) ? WaitOutcome::Readable : WaitOutcome::LineError;
}

void NetworkSerialBackend::set_rts(bool raised) {
    // The gateway drives the RS-485 direction; over RFC 2217 the line is still set as asked.
    if (telnet_ && is_open())
        send_all(com_port_command(kSetControl, std::string(1, static_cast<char>(raised ? 11 : 12))));
}

bool NetworkSerialBackend::fill() {
    char buffer[512];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            raw_.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        const int error = errno;
        strip_telnet();
        if (n == 0) {
            mark_gone();
            return false;
        }
        if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) return true;
        mark_gone();
        return false;
    }
}

void NetworkSerialBackend::mark_gone() {
    if (!gone_.empty()) return;
    gone_ = "the gateway closed the connection";
    // A gateway that cannot open its own device says so in text before it closes (ser2net: "Device open
    // failure: ..."); a reply frame cut short is no such text.
    std::string said;
    for (const char c : data_) {
        if (c == '\r' || c == '\n') {
            if (!said.empty() && said.back() != ' ') said += ' ';
        } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            said += c;
        }
    }
    while (!said.empty() && said.back() == ' ')
        said.pop_back();
    if (!said.empty() && said.front() != '#' && said.size() <= 200) {
        gone_ += " (" + said + ")";
        data_.clear();
    }
}

void NetworkSerialBackend::strip_telnet() {
    if (!telnet_) {
        data_ += raw_;
        raw_.clear();
        return;
    }
    std::size_t i = 0;
    std::string replies;
    while (i < raw_.size()) {
        const auto c = static_cast<unsigned char>(raw_[i]);
        if (c != kIac) {
            data_ += raw_[i++];
            continue;
        }
        if (i + 1 >= raw_.size()) break;  // the rest of the command comes later
        const auto command = static_cast<unsigned char>(raw_[i + 1]);
        if (command == kIac) {
            data_ += raw_[i];
            i += 2;
        } else if (command == kSb) {
            // A subnegotiation (the gateway's answers to our settings, line-state reports) carries no data.
            std::size_t end = i + 2;
            while (end + 1 < raw_.size() && !(static_cast<unsigned char>(raw_[end]) == kIac &&
                                              static_cast<unsigned char>(raw_[end + 1]) == kSe))
                end += static_cast<unsigned char>(raw_[end]) == kIac ? 2 : 1;
            if (end + 1 >= raw_.size()) break;
            i = end + 2;
        } else if (command == kWill || command == kWont || command == kDo || command == kDont) {
            if (i + 2 >= raw_.size()) break;
            const auto option = static_cast<unsigned char>(raw_[i + 2]);
            // Agree to the COM-port option and to binary transmission; refuse everything else.
            if (command == kDo && option != kComPort && option != 0)
                replies += {static_cast<char>(kIac), static_cast<char>(kWont), static_cast<char>(option)};
            if (command == kWill && option != kComPort && option != 0 && option != 3)
                replies += {static_cast<char>(kIac), static_cast<char>(kDont), static_cast<char>(option)};
            i += 3;
        } else {
            i += 2;
        }
    }
    raw_.erase(0, i);
    if (!replies.empty()) send_all(replies);
}

WaitOutcome NetworkSerialBackend::wait_readable(std::chrono::milliseconds timeout, platform::Event& stop) {
    if (!is_open()) return WaitOutcome::LineError;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (!data_.empty()) return WaitOutcome::Readable;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return WaitOutcome::TimedOut;
        const int woke = platform::wait_any({&stop}, left, platform::FdWait{fd_, POLLIN});
        if (woke == 0) return WaitOutcome::Stopped;
        if (woke == platform::kWaitTimeout) return WaitOutcome::TimedOut;
        if (!fill()) {
            if (!data_.empty()) return WaitOutcome::Readable;
            return WaitOutcome::LineError;  // the connection is gone
        }
    }
}

std::size_t NetworkSerialBackend::read_available(char* buffer, std::size_t max) {
    const std::size_t n = std::min(max, data_.size());
    std::memcpy(buffer, data_.data(), n);
    data_.erase(0, n);
    return n;
}

// ---- PortBackend -------------------------------------------------------------------------------

PortBackend::PortBackend()
    : local_(std::make_unique<PosixSerialBackend>()),
      network_(std::make_unique<NetworkSerialBackend>()),
      active_(local_.get()) {}

PortBackend::~PortBackend() = default;

bool PortBackend::open(const std::string& path, std::string& error) {
    active_->close();
    active_ = is_gateway_port(path) ? network_.get() : local_.get();
    return active_->open(path, error);
}

void PortBackend::close() {
    active_->close();
}

}  // namespace varda
