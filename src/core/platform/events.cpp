#include "core/platform/events.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <system_error>
#include <vector>

namespace varda::platform {

namespace {

[[noreturn]] void throw_errno(const char* what) {
    throw std::system_error(errno, std::system_category(), what);
}

// Reads the 8-byte counter of an eventfd or timerfd. False when there was nothing to read.
bool read_counter(int fd) {
    std::uint64_t value = 0;
    for (;;) {
        if (::read(fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value)) return true;
        if (errno != EINTR) return false;  // EAGAIN: already taken or never signalled
    }
}

bool readable_now(int fd) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int rc = ::poll(&p, 1, 0);
        if (rc >= 0) return rc > 0 && (p.revents & POLLIN) != 0;
        if (errno != EINTR) throw_errno("poll");
    }
}

void close_fd(int fd) {
    // A close() interrupted by a signal has still released the descriptor on Linux: never retry.
    if (fd >= 0) ::close(fd);
}

}  // namespace

// ---- Event ----------------------------------------------------------------------------------------

Event::Event(Reset mode, bool initially_set)
    : mode_(mode), fd_(::eventfd(initially_set ? 1u : 0u, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0) throw_errno("eventfd");
}

Event::~Event() {
    close_fd(fd_);
}

void Event::set() {
    const std::uint64_t one = 1;
    // Only fails with EAGAIN when the counter is near 2^64, which leaves the event signalled anyway.
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Event::reset() {
    read_counter(fd_);
}

bool Event::is_set() const {
    return readable_now(fd_);
}

bool Event::wait(std::chrono::milliseconds timeout) {
    return wait_any({this}, timeout) == 0;
}

bool Event::acquire() {
    // A manual-reset event stays signalled for every waiter; an auto-reset one goes to whoever reads the
    // counter first, and the others see EAGAIN.
    if (mode_ == Reset::Manual) return true;
    return read_counter(fd_);
}

// ---- PeriodicTimer --------------------------------------------------------------------------------

PeriodicTimer::PeriodicTimer() : fd_(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
    if (fd_ < 0) throw_errno("timerfd_create");
}

PeriodicTimer::~PeriodicTimer() {
    close_fd(fd_);
}

void PeriodicTimer::start(std::chrono::milliseconds period) {
    // A zero it_value would disarm the timer instead of starting it; a period below 1 ms is raised to 1 ms.
    const auto ms = period.count() < 1 ? 1 : period.count();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ms / 1000);
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1'000'000L;
    const itimerspec timing{ts, ts};  // first expiry one period from now, then every period
    // Re-arming also discards expiries still pending from an earlier start.
    if (::timerfd_settime(fd_, 0, &timing, nullptr) != 0) throw_errno("timerfd_settime");
    running_ = true;
}

void PeriodicTimer::stop() {
    running_ = false;
    const itimerspec off{};
    if (::timerfd_settime(fd_, 0, &off, nullptr) != 0) throw_errno("timerfd_settime");
    read_counter(fd_);  // drop expiries that came in before the disarm
}

bool PeriodicTimer::acquire() {
    return read_counter(fd_);
}

// ---- wait_any -------------------------------------------------------------------------------------

int wait_any(std::span<Waitable* const> items, std::chrono::milliseconds timeout, FdWait fd) {
    using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC: immune to changes of the wall clock
    const Clock::time_point start = Clock::now();
    // A time-out too long for the clock to represent is as good as none.
    const bool forever =
        timeout.count() < 0 ||
        timeout >= std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - start);
    const Clock::time_point deadline = forever ? Clock::time_point::max() : start + timeout;

    const std::size_t count = items.size();
    const bool with_fd = fd.fd >= 0;
    const std::size_t nfds = count + (with_fd ? 1 : 0);

    // The common waits (a transaction, the worker, a scanner set) fit on the stack.
    constexpr std::size_t kLocal = 16;
    pollfd local[kLocal];
    std::vector<pollfd> heap;
    pollfd* fds = local;
    if (nfds > kLocal) {
        heap.resize(nfds);
        fds = heap.data();
    }
    for (std::size_t i = 0; i < count; ++i) {
        // A null entry gets a negative descriptor, which poll() ignores.
        fds[i] = pollfd{items[i] != nullptr ? items[i]->fd() : -1, POLLIN, 0};
    }
    if (with_fd) fds[count] = pollfd{fd.fd, fd.events, 0};

    for (;;) {
        int poll_ms = -1;
        if (!forever) {
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero()) {
                poll_ms = 0;  // one last look, so a zero time-out still sees what is signalled
            } else {
                // Round up: poll() must not come back before the deadline.
                const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
                poll_ms = ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
            }
        }

        const int rc = ::poll(fds, static_cast<nfds_t>(nfds), poll_ms);
        if (rc < 0) {
            if (errno == EINTR) continue;
            throw_errno("poll");
        }

        if (rc > 0) {
            for (std::size_t i = 0; i < count; ++i) {
                if ((fds[i].revents & POLLIN) != 0 && items[i]->acquire()) return static_cast<int>(i);
            }
            if (with_fd) {
                // Errors and hang-ups count as ready: the caller learns what happened from its next read.
                const short ready = static_cast<short>(fd.events | POLLERR | POLLHUP | POLLNVAL);
                if ((fds[count].revents & ready) != 0) return static_cast<int>(count);
            }
            // Every ready object was an auto-reset one that another thread took first: wait again.
        }

        if (!forever && Clock::now() >= deadline) return kWaitTimeout;
    }
}

int wait_any(std::initializer_list<Waitable*> items, std::chrono::milliseconds timeout, FdWait fd) {
    return wait_any(std::span<Waitable* const>(items.begin(), items.size()), timeout, fd);
}

}  // namespace varda::platform
