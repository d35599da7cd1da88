#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <initializer_list>
#include <span>

namespace varda::platform {

// Something a thread can wait for with wait_any: an Event or a PeriodicTimer.
class Waitable {
  public:
    Waitable() = default;
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;
    virtual ~Waitable() = default;

    // The descriptor that poll() reports readable while the object is signalled.
    virtual int fd() const = 0;

    // Called by wait_any when poll() found fd() readable. Takes the signal as the object's reset mode
    // says and returns whether it was still signalled (another thread may have taken an auto-reset one).
    virtual bool acquire() = 0;
};

// A manual- or auto-reset event on an eventfd. A manual-reset event stays signalled until reset();
// an auto-reset one releases exactly one waiter and resets itself.
class Event final : public Waitable {
  public:
    enum class Reset { Manual, Auto };
    explicit Event(Reset mode = Reset::Auto, bool initially_set = false);
    ~Event() override;

    void set();
    void reset();
    // Whether the event is signalled now; never consumes the signal.
    bool is_set() const;
    // Waits until signalled (consuming an auto-reset signal); false on time-out. A negative
    // time-out waits without limit.
    bool wait(std::chrono::milliseconds timeout = std::chrono::milliseconds(-1));

    int fd() const override { return fd_; }
    bool acquire() override;

  private:
    Reset mode_;
    int fd_;
};

// A periodic timer on a timerfd: the first expiry one period after start(), then every period.
// Expiries auto-reset: each wait takes all expiries that have accumulated.
class PeriodicTimer final : public Waitable {
  public:
    PeriodicTimer();
    ~PeriodicTimer() override;

    // (Re)arms the timer; expiries still pending from an earlier start are dropped. Periods below 1 ms
    // count as 1 ms.
    void start(std::chrono::milliseconds period);
    // Disarms the timer and drops pending expiries, so a waiter no longer sees it signalled.
    void stop();
    bool running() const { return running_; }

    int fd() const override { return fd_; }
    bool acquire() override;

  private:
    int fd_;
    std::atomic<bool> running_ = false;  // started and stopped by one thread, looked at by the poller
};

// A plain descriptor to wait on besides the waitables (the serial port).
struct FdWait {
    int fd = -1;
    short events = 0;  // POLLIN, POLLOUT, ...
};

inline constexpr int kWaitTimeout = -1;

// Waits until one of the objects is signalled, the descriptor is ready, or the time-out ends.
// Returns the index of the signalled object (the lowest index wins when several are, as the order
// of the list is the order of priority), items.size() when the descriptor is ready, or kWaitTimeout.
// A negative time-out waits without limit; a zero one only looks. An interrupted wait resumes with the
// time that is left. The descriptor is also reported ready on an error or hang-up (POLLERR, POLLHUP).
int wait_any(std::span<Waitable* const> items, std::chrono::milliseconds timeout, FdWait fd = {});
int wait_any(std::initializer_list<Waitable*> items, std::chrono::milliseconds timeout, FdWait fd = {});

}  // namespace varda::platform
