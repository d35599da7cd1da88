#include "core/platform/events.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace varda::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous limits: these tests check order and "not too early", never scheduling precision.
constexpr auto kLong = 5000ms;
constexpr auto kSlack = 1500ms;

auto since(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0);
}

// Polls a condition for up to kLong; for waiting on other threads without a fixed sleep.
template <typename Pred>
bool eventually(Pred pred) {
    const auto t0 = Clock::now();
    while (!pred()) {
        if (Clock::now() - t0 > kLong) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(PlatformEvent, ManualResetStaysSignalledUntilReset) {
    Event e(Event::Reset::Manual);
    EXPECT_FALSE(e.is_set());
    EXPECT_FALSE(e.wait(0ms));

    e.set();
    e.set();  // setting twice changes nothing
    EXPECT_TRUE(e.is_set());
    EXPECT_TRUE(e.wait(0ms));
    EXPECT_TRUE(e.wait(0ms));
    EXPECT_TRUE(e.is_set());

    e.reset();
    EXPECT_FALSE(e.is_set());
    EXPECT_FALSE(e.wait(0ms));
    e.reset();  // resetting a reset event is harmless
    EXPECT_FALSE(e.is_set());
}

TEST(PlatformEvent, AutoResetReleasesOneWaitPerSignal) {
    Event e(Event::Reset::Auto);
    EXPECT_FALSE(e.wait(0ms));

    e.set();
    e.set();                  // signals do not add up
    EXPECT_TRUE(e.is_set());  // looking does not consume
    EXPECT_TRUE(e.wait(0ms));
    EXPECT_FALSE(e.is_set());
    EXPECT_FALSE(e.wait(0ms));

    e.set();
    e.reset();
    EXPECT_FALSE(e.wait(0ms));
}

TEST(PlatformEvent, InitialState) {
    for (const auto mode : {Event::Reset::Manual, Event::Reset::Auto}) {
        Event set(mode, true);
        Event clear(mode, false);
        EXPECT_TRUE(set.is_set());
        EXPECT_FALSE(clear.is_set());
    }
}

TEST(PlatformEvent, AutoResetWakesExactlyOneOfTwoWaiters) {
    Event e(Event::Reset::Auto);
    std::atomic<int> woken{0};
    std::atomic<int> waiting{0};
    auto waiter = [&] {
        ++waiting;
        if (e.wait(kLong)) ++woken;
    };
    std::thread a(waiter), b(waiter);
    ASSERT_TRUE(eventually([&] { return waiting == 2; }));
    std::this_thread::sleep_for(20ms);  // let both reach poll()

    e.set();
    ASSERT_TRUE(eventually([&] { return woken >= 1; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(woken, 1) << "one signal must release one waiter";

    e.set();  // releases the other one
    a.join();
    b.join();
    EXPECT_EQ(woken, 2);
}

TEST(PlatformEvent, ManualResetWakesAllWaiters) {
    Event e(Event::Reset::Manual);
    std::atomic<int> woken{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([&] {
            if (e.wait(kLong)) ++woken;
        });
    }
    e.set();
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(woken, 3);
    EXPECT_TRUE(e.is_set());
}

TEST(PlatformEvent, NegativeTimeoutWaitsUntilSetFromAnotherThread) {
    Event e;
    std::thread setter([&] {
        std::this_thread::sleep_for(50ms);
        e.set();
    });
    const auto t0 = Clock::now();
    EXPECT_EQ(wait_any({&e}, -1ms), 0);
    EXPECT_GE(since(t0), 40ms);
    setter.join();
}

TEST(PlatformTimer, FirstExpiryAfterOnePeriodThenPeriodic) {
    PeriodicTimer t;
    EXPECT_FALSE(t.running());
    const auto t0 = Clock::now();
    t.start(100ms);
    EXPECT_TRUE(t.running());

    EXPECT_EQ(wait_any({&t}, 0ms), kWaitTimeout) << "the timer must not fire at once";
    ASSERT_EQ(wait_any({&t}, kLong), 0);
    EXPECT_GE(since(t0), 100ms);
    EXPECT_LT(since(t0), 100ms + kSlack);

    ASSERT_EQ(wait_any({&t}, kLong), 0);
    ASSERT_EQ(wait_any({&t}, kLong), 0);
    EXPECT_GE(since(t0), 300ms);
}

TEST(PlatformTimer, OneWaitTakesAllAccumulatedExpiries) {
    PeriodicTimer t;
    t.start(20ms);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(wait_any({&t}, 0ms), 0);
    EXPECT_EQ(wait_any({&t}, 0ms), kWaitTimeout);
}

TEST(PlatformTimer, StopDisarmsAndDropsPendingExpiries) {
    PeriodicTimer t;
    t.start(20ms);
    std::this_thread::sleep_for(70ms);  // expiries are pending now
    t.stop();
    EXPECT_FALSE(t.running());
    EXPECT_EQ(wait_any({&t}, 150ms), kWaitTimeout);

    // It can be started again, and counts from the new start.
    const auto t0 = Clock::now();
    t.start(50ms);
    EXPECT_EQ(wait_any({&t}, kLong), 0);
    EXPECT_GE(since(t0), 50ms);
}

TEST(PlatformWaitAny, LowestSignalledIndexWins) {
    Event a(Event::Reset::Auto), b(Event::Reset::Auto), m(Event::Reset::Manual);
    b.set();
    m.set();
    a.set();
    // Auto-reset objects are consumed as they win, so the winners come out in priority order; the
    // manual-reset one keeps winning once it is the first signalled.
    EXPECT_EQ(wait_any({&a, &b, &m}, 0ms), 0);
    EXPECT_EQ(wait_any({&a, &b, &m}, 0ms), 1);
    EXPECT_EQ(wait_any({&a, &b, &m}, 0ms), 2);
    EXPECT_EQ(wait_any({&a, &b, &m}, 0ms), 2);
    // A signalled object further down does not shadow one earlier in the list.
    b.set();
    EXPECT_EQ(wait_any({&m, &b}, 0ms), 0);
    EXPECT_TRUE(b.is_set());
}

TEST(PlatformWaitAny, SpanOverloadAndNullEntries) {
    Event e;
    e.set();
    std::vector<Waitable*> items{nullptr, &e};
    EXPECT_EQ(wait_any(std::span<Waitable* const>(items), 0ms), 1);
    EXPECT_EQ(wait_any(std::span<Waitable* const>(items), 0ms), kWaitTimeout);
}

TEST(PlatformWaitAny, TimeoutIsNotShortAndRoughlyRight) {
    Event e;
    for (const auto timeout : {0ms, 1ms, 150ms}) {
        const auto t0 = Clock::now();
        EXPECT_EQ(wait_any({&e}, timeout), kWaitTimeout);
        const auto took = since(t0);
        EXPECT_GE(took, timeout);
        EXPECT_LT(took, timeout + kSlack);
    }
}

void ignore_signal(int) {}

TEST(PlatformWaitAny, SignalDoesNotCutTheWaitShort) {
    struct sigaction sa {};
    struct sigaction old {};
    sa.sa_handler = ignore_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: poll() returns EINTR
    ASSERT_EQ(sigaction(SIGUSR1, &sa, &old), 0);

    Event e;
    std::atomic<bool> started{false};
    int result = 0;
    std::chrono::milliseconds took{};
    std::thread waiter([&] {
        started = true;
        const auto t0 = Clock::now();
        result = wait_any({&e}, 300ms);
        took = since(t0);
    });
    ASSERT_TRUE(eventually([&] { return started.load(); }));
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(30ms);
        pthread_kill(waiter.native_handle(), SIGUSR1);
    }
    waiter.join();
    sigaction(SIGUSR1, &old, nullptr);

    EXPECT_EQ(result, kWaitTimeout);
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 300ms + kSlack);
}

struct Pipe {
    int r = -1, w = -1;
    Pipe() {
        int fds[2];
        if (::pipe(fds) == 0) {
            r = fds[0];
            w = fds[1];
        }
    }
    ~Pipe() {
        if (r >= 0) ::close(r);
        if (w >= 0) ::close(w);
    }
};

TEST(PlatformWaitAny, DescriptorReadyIsReportedAfterTheObjects) {
    Pipe p;
    ASSERT_GE(p.r, 0);
    Event e;
    const FdWait in{p.r, POLLIN};

    EXPECT_EQ(wait_any({&e}, 50ms, in), kWaitTimeout);

    ASSERT_EQ(::write(p.w, "x", 1), 1);
    EXPECT_EQ(wait_any({&e}, 0ms, in), 1);
    EXPECT_EQ(wait_any({}, 0ms, in), 0);

    // An object signalled at the same time has priority over the descriptor.
    e.set();
    EXPECT_EQ(wait_any({&e}, 0ms, in), 0);
    EXPECT_EQ(wait_any({&e}, 0ms, in), 1);  // the data is still there: readiness is not consumed
}

TEST(PlatformWaitAny, DescriptorWakesAWaitingThread) {
    Pipe p;
    ASSERT_GE(p.r, 0);
    Event e;
    std::thread writer([&] {
        std::this_thread::sleep_for(50ms);
        ASSERT_EQ(::write(p.w, "x", 1), 1);
    });
    EXPECT_EQ(wait_any({&e}, kLong, FdWait{p.r, POLLIN}), 1);
    writer.join();
}

TEST(PlatformWaitAny, HangUpCountsAsReady) {
    Pipe p;
    ASSERT_GE(p.r, 0);
    ::close(p.w);
    p.w = -1;
    EXPECT_EQ(wait_any({}, kLong, FdWait{p.r, POLLIN}), 0);
}

}  // namespace
}  // namespace varda::platform
