#include "core/link/posix_serial_backend.h"

// termios2 and BOTHER come from the kernel's headers, which clash with glibc's <termios.h>: this file must
// never include <termios.h>, directly or through another header.
#include <asm/termbits.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "core/platform/language.h"

namespace varda {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kMark = '\xFF';  // PARMRK escape: 0xFF 0xFF is a literal 0xFF, 0xFF 0x00 x an error

// In the language on screen for the window; command-line jobs keep it as written.
std::string describe_open_errno(int err) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return std::string(localized("no such device"));
        case EACCES:
        case EPERM:
            return std::string(localized("permission denied (is the user in the dialout group?)"));
        case EBUSY:
            return std::string(localized("busy (another program is using it)"));
        default:
            return std::system_category().message(err);
    }
}

// Milliseconds left until the deadline, rounded up so that a wait never ends before it; 0 once past.
std::chrono::milliseconds left_until(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(left);
}

void sleep_for_us(long us) {
    timespec ts{us / 1'000'000, (us % 1'000'000) * 1000};
    while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
    }
}

// Whether a descriptor other than `own` (of this process or any other; -1: none is ours) has the device
// open. A process whose descriptors cannot be looked at counts as holding it: the answer errs on the side
// of "busy".
bool held_elsewhere(const struct stat& device, int own) {
    if (!S_ISCHR(device.st_mode)) return true;
    DIR* processes = ::opendir("/proc");
    if (!processes) return true;
    const std::string self = std::to_string(::getpid());
    bool held = false;
    while (const dirent* process = ::readdir(processes)) {
        const std::string pid = process->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string folder = "/proc/" + pid + "/fd";
        DIR* descriptors = ::opendir(folder.c_str());
        if (!descriptors) {
            held = held || errno == EACCES;  // a process that ended meanwhile holds nothing
            continue;
        }
        while (const dirent* descriptor = ::readdir(descriptors)) {
            const std::string n = descriptor->d_name;
            if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos) continue;
            if (pid == self && n == std::to_string(own)) continue;
            struct stat other {};
            if (::stat((folder + "/" + n).c_str(), &other) == 0 && S_ISCHR(other.st_mode) &&
                other.st_rdev == device.st_rdev)
                held = true;
        }
        ::closedir(descriptors);
        if (held) break;
    }
    ::closedir(processes);
    return held;
}

}  // namespace

PosixSerialBackend::~PosixSerialBackend() {
    close();
}

bool PosixSerialBackend::open(const std::string& path, std::string& error) {
    close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        error = path + ": " + describe_open_errno(err);
        // Only root may open a terminal whose exclusive flag is set; a flag that a killed program left
        // behind is worth telling apart from a program at work.
        struct stat device {};
        if (err == EBUSY && ::stat(path.c_str(), &device) == 0 && !held_elsewhere(device, -1))
            error =
                path + ": " +
                std::string(localized("busy: a program that ended left it locked, and no program holds it "
                                      "now; only root can open it until its other side is restarted"));
        return false;
    }

    const auto refuse = [&](const std::string& why) {
        ::close(fd);
        error = path + ": " + why;
        return false;
    };
    const std::string busy = describe_open_errno(EBUSY);

    // TIOCEXCL keeps other programs out, but not root: so look whether someone holds it already, and take
    // an advisory lock as well, which also settles two programs opening at the same moment.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return refuse(busy);
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        // A program killed while it held the port leaves the flag behind on a terminal that stays open (a
        // pseudo-terminal whose other side lives on): with nobody holding the device, the flag is stale.
        struct stat device {};
        if (::fstat(fd, &device) != 0 || held_elsewhere(device, fd)) return refuse(busy);
        ::ioctl(fd, TIOCNXCL);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        return refuse(errno == ENOTTY || errno == EINVAL ? std::string("not a serial port") : busy);
    }

    fd_ = fd;
    drop_received();
    marking_ = false;
    return true;
}

void PosixSerialBackend::close() {
    if (fd_ < 0) return;
    set_driver_direction(false);
    // A pseudo-terminal keeps its exclusive flag while the other side stays open: give it back.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // also releases the flock
    fd_ = -1;
    drop_received();
    marking_ = false;
}

bool PosixSerialBackend::configure(const LineSettings& settings) {
    if (fd_ < 0 || settings.baud_rate <= 0) return false;

    tcflag_t parity = 0;
    switch (settings.parity_code) {
        case parity_code::kNoneOld:
        case parity_code::kNone:
            break;
        case parity_code::kEven:
            parity = PARENB;
            break;
        case parity_code::kMark:
            parity = PARENB | CMSPAR | PARODD;
            break;
        case parity_code::kOdd:
            parity = PARENB | PARODD;
            break;
        case parity_code::kSpace:
            parity = PARENB | CMSPAR;
            break;
        default:
            return false;
    }
    tcflag_t size = 0;
    switch (settings.data_bits) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return false;
    }
    if (settings.stop_bits != 1 && settings.stop_bits != 2) return false;

    termios2 tio{};
    if (::ioctl(fd_, TCGETS2, &tio) != 0) return false;

    // Raw characters, no flow control, no echo. Without IGNBRK, BRKINT and IGNPAR, and with INPCK and PARMRK,
    // breaks and parity or framing errors arrive in the stream as 0xFF 0x00 x.
    tio.c_iflag = INPCK | PARMRK;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CLOCAL | CREAD | size | parity;
    if (settings.stop_bits == 2) tio.c_cflag |= CSTOPB;
    tio.c_ispeed = static_cast<speed_t>(settings.baud_rate);
    tio.c_ospeed = static_cast<speed_t>(settings.baud_rate);
    tio.c_cc[VMIN] = 1;  // with O_NONBLOCK: "nothing yet" is EAGAIN, and 0 only means a hang-up
    tio.c_cc[VTIME] = 0;
    if (::ioctl(fd_, TCSETS2, &tio) != 0) return false;

    // DTR stays low, as the adapters expect; a pseudo-terminal has no modem lines.
    int dtr = TIOCM_DTR;
    ::ioctl(fd_, TIOCMBIC, &dtr);

    const int bits = 1 + settings.data_bits + (parity != 0 ? 1 : 0) + settings.stop_bits;
    character_time_ms_ = 1000.0f * static_cast<float>(bits) / static_cast<float>(settings.baud_rate);
    marking_ = true;
    return true;
}

bool PosixSerialBackend::purge(PurgeKind kind) {
    if (fd_ < 0) return false;
    int queue = 0;
    switch (kind) {
        case PurgeKind::Received:
            queue = TCIFLUSH;
            break;
        case PurgeKind::Unsent:
            queue = TCOFLUSH;
            break;
        case PurgeKind::Both:
            queue = TCIOFLUSH;
            break;
        default:
            return false;
    }
    if (kind != PurgeKind::Unsent) drop_received();
    return ::ioctl(fd_, TCFLSH, queue) == 0;
}

WaitOutcome PosixSerialBackend::write(std::string_view bytes, platform::Event& stop) {
    if (fd_ < 0) return WaitOutcome::LineError;
    // A device that takes nothing for this long is stuck: 500 ms plus 10 ms and one character time a
    // character.
    const auto per_char = std::chrono::duration<double, std::milli>(10.0 + character_time_ms_);
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(500) +
        std::chrono::ceil<std::chrono::milliseconds>(per_char * static_cast<double>(bytes.size()));

    std::size_t done = 0;
    while (done < bytes.size()) {
        // The stop event comes first in the list, so it wins even when the port is writable.
        const int which = platform::wait_any({&stop}, left_until(deadline), platform::FdWait{fd_, POLLOUT});
        if (which == 0) return WaitOutcome::Stopped;
        if (which == platform::kWaitTimeout) return WaitOutcome::LineError;
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return WaitOutcome::LineError;
        } else if (Clock::now() >= deadline) {
            return WaitOutcome::LineError;  // reported writable, yet takes nothing
        }
    }
    return drain(deadline, stop);
}

WaitOutcome PosixSerialBackend::drain(Clock::time_point deadline, platform::Event& stop) {
    for (;;) {
        int queued = 0;
        if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) queued = 0;  // no queue to look at: nothing to wait for
        bool empty = queued <= 0;
        if (empty) {
            // A UART still shifts the last characters out after its queue is empty; drivers that cannot say
            // (USB adapters, pseudo-terminals) refuse the question.
            unsigned int lsr = 0;
            if (::ioctl(fd_, TIOCSERGETLSR, &lsr) == 0 && (lsr & TIOCSER_TEMT) == 0) empty = false;
        }
        if (empty) return WaitOutcome::Readable;
        if (stop.is_set()) return WaitOutcome::Stopped;
        if (Clock::now() >= deadline) return WaitOutcome::LineError;
        // About the time the queue needs, between 50 us and 1 ms, so that a byte-by-byte sender is not
        // slowed.
        const double wait_us = std::max(1, queued) * static_cast<double>(character_time_ms_) * 1000.0;
        sleep_for_us(static_cast<long>(std::clamp(wait_us, 50.0, 1000.0)));
    }
}

void PosixSerialBackend::set_rts(bool raised) {
    if (fd_ < 0) return;
    int rts = TIOCM_RTS;
    ::ioctl(fd_, raised ? TIOCMBIS : TIOCMBIC, &rts);  // fails on a pseudo-terminal, which has no RTS
}

bool PosixSerialBackend::set_driver_direction(bool enabled) {
    static_assert(sizeof(serial_rs485) <= sizeof(saved_rs485_));
    if (fd_ < 0) return false;
    if (!enabled) {
        if (!driver_direction_) return true;
        driver_direction_ = false;
        serial_rs485 saved{};
        std::memcpy(&saved, saved_rs485_.data(), sizeof saved);
        return ::ioctl(fd_, TIOCSRS485, &saved) == 0;
    }
    if (driver_direction_) return true;
    // A driver without RS-485 support (USB adapters without it, pseudo-terminals) refuses the question.
    serial_rs485 found{};
    if (::ioctl(fd_, TIOCGRS485, &found) != 0) return false;
    serial_rs485 wanted = found;
    wanted.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    wanted.flags &= ~static_cast<__u32>(SER_RS485_RTS_AFTER_SEND | SER_RS485_RX_DURING_TX);
    wanted.delay_rts_before_send = 0;
    wanted.delay_rts_after_send = 0;
    if (::ioctl(fd_, TIOCSRS485, &wanted) != 0) return false;
    // Some drivers take the call and keep their mode: believe only what they say back.
    serial_rs485 now{};
    if (::ioctl(fd_, TIOCGRS485, &now) != 0 || (now.flags & SER_RS485_ENABLED) == 0) {
        ::ioctl(fd_, TIOCSRS485, &found);
        return false;
    }
    std::memcpy(saved_rs485_.data(), &found, sizeof found);
    driver_direction_ = true;
    return true;
}

WaitOutcome PosixSerialBackend::wait_readable(std::chrono::milliseconds timeout, platform::Event& stop) {
    if (fd_ < 0) return WaitOutcome::LineError;
    const bool forever = timeout.count() < 0;
    const Clock::time_point deadline = forever ? Clock::time_point::max() : Clock::now() + timeout;

    bool waited = false;
    for (;;) {
        if (stop.is_set()) return WaitOutcome::Stopped;
        const bool alive = fill();
        // Characters received before an error are delivered first, so that the error is seen where it
        // happened.
        if (!decoded_.empty()) return WaitOutcome::Readable;
        if (error_pending_) {
            error_pending_ = false;
            return WaitOutcome::LineError;
        }
        if (!alive) return WaitOutcome::LineError;
        // Reported readable with nothing to read must not keep us past the deadline.
        if (waited && !forever && Clock::now() >= deadline) return WaitOutcome::TimedOut;

        const auto wait = forever ? std::chrono::milliseconds(-1) : left_until(deadline);
        const int which = platform::wait_any({&stop}, wait, platform::FdWait{fd_, POLLIN});
        if (which == 0) return WaitOutcome::Stopped;
        if (which == platform::kWaitTimeout) return WaitOutcome::TimedOut;
        waited = true;
        // Readable, or a hang-up or error: fill() tells which.
    }
}

std::size_t PosixSerialBackend::read_available(char* buffer, std::size_t max) {
    if (fd_ < 0) return 0;
    fill();  // a device that went away shows up at the next wait_readable
    const std::size_t n = std::min(max, decoded_.size());
    std::copy_n(decoded_.data(), n, buffer);
    decoded_.erase(0, n);
    return n;
}

bool PosixSerialBackend::fill() {
    // Enough for any reply many times over; a line that floods us is drained over several calls.
    constexpr std::size_t kMaxRaw = 4096;
    char chunk[256];
    bool alive = true;
    bool got = false;
    while (raw_.size() < kMaxRaw) {
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n > 0) {
            raw_.append(chunk, static_cast<std::size_t>(n));
            got = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) break;
        // 0 is a hang-up here (VMIN is 1), and EIO the other side of a pseudo-terminal gone or a device
        // unplugged. Characters read before it are still delivered; the next call reports it.
        if (n == 0 && !hung_up()) break;
        alive = got;
        break;
    }
    decode();
    return alive;
}

void PosixSerialBackend::decode() {
    std::size_t i = 0;
    while (i < raw_.size() && !error_pending_) {
        const char c = raw_[i];
        if (c != kMark || !marking_) {
            decoded_.push_back(c);
            i += 1;
            continue;
        }
        if (i + 1 >= raw_.size()) break;  // the rest of the escape is still on its way
        const char next = raw_[i + 1];
        if (next == kMark) {
            decoded_.push_back(kMark);
            i += 2;
        } else if (next == '\0') {
            if (i + 2 >= raw_.size()) break;
            error_pending_ = true;  // a break (0xFF 0x00 0x00) or a parity or framing error on x
            i += 3;
        } else {
            decoded_.push_back(c);  // not an escape the driver makes: keep the byte
            i += 1;
        }
    }
    raw_.erase(0, i);
}

bool PosixSerialBackend::hung_up() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void PosixSerialBackend::drop_received() {
    raw_.clear();
    decoded_.clear();
    error_pending_ = false;
}

}  // namespace varda
