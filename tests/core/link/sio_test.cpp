#include "core/link/sio.h"

#include "core/link/posix_serial_backend.h"

// TCGETS2 reads back what the port was given. The kernel's termios headers clash with glibc's <termios.h>,
// so the pseudo-terminal comes from posix_openpt() rather than openpty() (<pty.h> brings <termios.h>).
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace varda {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;

auto since(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0);
}

// A pseudo-terminal: the slave is the port under test, the master plays the module.
class Pty {
  public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) == 0) slave_ = name;
    }
    ~Pty() { close_master(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    int master() const { return master_; }
    const std::string& slave() const { return slave_; }
    void close_master() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    std::string slave_;
};

// Reads from the master until `length` bytes are in or the limit passes.
std::string read_master(int master, std::size_t length, std::chrono::milliseconds limit = 2000ms) {
    std::string got;
    const auto deadline = Clock::now() + limit;
    while (got.size() < length) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= 0ms) break;
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0 || (p.revents & POLLIN) == 0) break;
        char buf[64];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

struct Piece {
    std::chrono::milliseconds pause;  // before the piece is sent
    std::string text;
};

// The module on the master side: takes one request of the expected length, then answers piece by piece.
class Module {
  public:
    Module(Pty& pty, std::size_t request_length, std::vector<Piece> answer, bool hang_up = false)
        : thread_([this, &pty, request_length, answer = std::move(answer), hang_up] {
              request_ = read_master(pty.master(), request_length);
              if (hang_up) pty.close_master();
              for (const Piece& piece : answer) {
                  std::this_thread::sleep_for(piece.pause);
                  if (::write(pty.master(), piece.text.data(), piece.text.size()) < 0) return;
              }
          }) {}
    ~Module() { join(); }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // What the module received; waits until it has answered.
    const std::string& request() {
        join();
        return request_;
    }

  private:
    void join() {
        if (thread_.joinable()) thread_.join();
    }
    std::string request_;
    std::thread thread_;  // last: starts once request_ exists
};

class SioOnPty : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(pty.slave().empty()) << "no pseudo-terminal";
        sio.settings.port_name = pty.slave();
    }

    OpenResult open_at(int baud) {
        sio.settings.baud_rate = baud;
        return sio.open();
    }

    Pty pty;  // outlives the port
    Sio sio{std::make_unique<PosixSerialBackend>()};
};

TEST(SioPortName, ComNamesStandForTtyS) {
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"com3", "/dev/ttyS2"},
        {"Com12", "/dev/ttyS11"},
        {"COM007", "/dev/ttyS6"},
        {"COM0", "COM0"},
        {"COM", "COM"},
        {"COM-1", "COM-1"},
        {"COM+1", "COM+1"},
        {"COM3x", "COM3x"},
        {" COM1", " COM1"},
        {"COM99999999999999999999999", "COM99999999999999999999999"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(port_device_path(c.name), c.path) << c.name;
}

TEST(SioPortList, ColonSeparatedDevicePaths) {
    const std::string list = list_serial_ports();
    if (list.empty()) GTEST_SKIP() << "no serial ports on this machine";
    EXPECT_NE(list.back(), ':');
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = list.find(':', start);
        const std::string item = list.substr(start, colon - start);
        EXPECT_EQ(item.rfind("/dev/", 0), 0u) << item;
        EXPECT_GT(item.size(), 5u) << list;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
}

TEST_F(SioOnPty, TimingFollowsTheCharacterFormat) {
    // Held open before the port is made exclusive, to read back what the device was given.
    const int probe = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    const struct {
        int baud, parity, data, stop;
        float character_ms;
        int reply_ms;
    } cases[] = {
        {2400, 3, 8, 1, 10000.0f / 2400, 460},     {9600, 3, 8, 1, 10000.0f / 9600, 220},
        {115200, 0, 8, 1, 10000.0f / 115200, 160}, {9600, 3, 7, 2, 10000.0f / 9600, 220},
        {110, 3, 7, 2, 10000.0f / 110, 6940},     // interval 137, multiplier 228
        {19200, 1, 8, 1, 11000.0f / 19200, 160},  // even parity adds a bit
        {4800, 4, 7, 1, 10000.0f / 4800, 310},    // odd: interval 4, multiplier 7
        {1200, 2, 8, 2, 12000.0f / 1200, 850},    // mark: interval 15, multiplier 25
        {1200, 5, 5, 2, 9000.0f / 1200, 700},     // space: interval 12, multiplier 20
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.baud << " baud, parity " << c.parity << ", " << c.data << "/" << c.stop);
        sio.settings.parity_code = c.parity;
        sio.settings.data_bits = c.data;
        sio.settings.stop_bits = c.stop;
        ASSERT_EQ(open_at(c.baud), OpenResult::Opened) << sio.open_error();
        EXPECT_FLOAT_EQ(sio.character_time_ms(), c.character_ms);
        EXPECT_EQ(sio.reply_timeout_ms(), c.reply_ms);

        termios2 tio{};
        ASSERT_EQ(::ioctl(probe, TCGETS2, &tio), 0);
        EXPECT_EQ(tio.c_ospeed, static_cast<speed_t>(c.baud));
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.stop == 2);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    }
    EXPECT_EQ(sio.close(), PortResult::Done);
    EXPECT_EQ(sio.character_time_ms(), 0.0f);
    EXPECT_EQ(sio.reply_timeout_ms(), 0);
    ::close(probe);
}

TEST_F(SioOnPty, EveryListedBaudRateOpens) {
    const int probe = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    for (const int baud :
         {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 28800, 38400, 56000, 57600, 115200, 128000}) {
        ASSERT_EQ(open_at(baud), OpenResult::Opened) << baud << ": " << sio.open_error();
        termios2 tio{};
        ASSERT_EQ(::ioctl(probe, TCGETS2, &tio), 0);
        EXPECT_EQ(tio.c_ospeed, static_cast<speed_t>(baud));
        EXPECT_EQ(tio.c_ispeed, static_cast<speed_t>(baud));
    }
    ::close(probe);
}

TEST_F(SioOnPty, RefusedSettingsLeaveThePortOpen) {
    constexpr OpenResult kSettings = OpenResult::UnsupportedSettings;
    constexpr OpenResult kDataBits = OpenResult::UnsupportedDataBits;
    const struct {
        int baud, parity, data, stop;
        OpenResult result;
    } cases[] = {
        {256000, 3, 8, 1, kSettings}, {0, 3, 8, 1, kSettings},    {9601, 3, 8, 1, kSettings},
        {9600, 3, 8, 3, kSettings},   {9600, 3, 8, 0, kSettings}, {9600, 6, 8, 1, kSettings},
        {9600, -1, 8, 1, kSettings},  {9600, 3, 4, 1, kDataBits}, {9600, 3, 9, 1, kDataBits},
        {256000, 3, 9, 3, kDataBits},  // data bits are looked at before stop bits and rate
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.baud << " baud, parity " << c.parity << ", " << c.data << "/" << c.stop);
        sio.settings.parity_code = c.parity;
        sio.settings.data_bits = c.data;
        sio.settings.stop_bits = c.stop;
        EXPECT_EQ(open_at(c.baud), c.result);
        EXPECT_TRUE(sio.is_open());
        EXPECT_FALSE(sio.open_error().empty());
        EXPECT_EQ(sio.reply_timeout_ms(), 0);
        EXPECT_EQ(sio.close(), PortResult::Done);
    }
}

TEST_F(SioOnPty, OpeningTwiceKeepsOnePort) {
    ASSERT_EQ(open_at(9600), OpenResult::Opened);
    ASSERT_EQ(open_at(2400), OpenResult::Opened) << sio.open_error();
    EXPECT_EQ(sio.reply_timeout_ms(), 460);
    EXPECT_TRUE(sio.open_error().empty());
}

TEST_F(SioOnPty, ASecondUserOfThePortIsRefused) {
    ASSERT_EQ(open_at(9600), OpenResult::Opened);
    Sio other(std::make_unique<PosixSerialBackend>());
    other.settings.port_name = pty.slave();
    EXPECT_EQ(other.open(), OpenResult::Failed);
    EXPECT_NE(other.open_error().find("busy"), std::string::npos) << other.open_error();
    EXPECT_FALSE(other.is_open());

    // Closing gives the port back.
    EXPECT_EQ(sio.close(), PortResult::Done);
    EXPECT_EQ(other.open(), OpenResult::Opened) << other.open_error();
}

// A program killed while it held the port leaves the exclusive flag on a pseudo-terminal whose other side
// lives on. With no one holding the device the flag is stale and the port opens; a descriptor that still
// holds it keeps the port busy.
TEST_F(SioOnPty, AnExclusiveFlagLeftByAProgramThatEndedIsNoUser) {
    if (geteuid() != 0) GTEST_SKIP() << "only root opens a terminal whose exclusive flag is set";
    const int killed = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(killed, 0);
    ASSERT_EQ(::ioctl(killed, TIOCEXCL), 0);
    ::close(killed);
    const int probe = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY);
    int exclusive = 0;
    ASSERT_EQ(::ioctl(probe, TIOCGEXCL, &exclusive), 0);
    ::close(probe);
    ASSERT_NE(exclusive, 0) << "the flag did not outlive its descriptor: nothing to test";

    EXPECT_EQ(open_at(9600), OpenResult::Opened) << sio.open_error();
    EXPECT_EQ(sio.close(), PortResult::Done);

    const int holder = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
    EXPECT_EQ(open_at(9600), OpenResult::Failed);
    EXPECT_NE(sio.open_error().find("busy"), std::string::npos) << sio.open_error();
    ::close(holder);
    EXPECT_EQ(open_at(9600), OpenResult::Opened) << sio.open_error();
}

TEST(SioOpen, UnusableDevicesSayWhy) {
    const struct {
        const char* path;
        const char* reason;
    } cases[] = {
        {"/dev/varda-no-such-port", "no such device"},
        {"/dev/null", "not a serial port"},
    };
    for (const auto& c : cases) {
        Sio sio(std::make_unique<PosixSerialBackend>());
        sio.settings.port_name = c.path;
        EXPECT_EQ(sio.open(), OpenResult::Failed) << c.path;
        EXPECT_FALSE(sio.is_open());
        EXPECT_NE(sio.open_error().find(c.reason), std::string::npos) << sio.open_error();
        EXPECT_NE(sio.open_error().find(c.path), std::string::npos) << sio.open_error();
    }
}

TEST(SioClosed, RefusesEverything) {
    Sio sio(std::make_unique<PosixSerialBackend>());
    Reply reply;
    reply.chars.fill('x');
    reply.count = 5;
    EXPECT_EQ(sio.transaction("#10\r", reply), TransferResult::Stopped);
    EXPECT_EQ(reply.count, 0u);
    EXPECT_EQ(reply.chars[0], '\0');
    EXPECT_EQ(sio.close(), PortResult::Closed);
    EXPECT_EQ(sio.purge(PurgeKind::Both), PortResult::Closed);
    EXPECT_EQ(sio.character_time_ms(), 0.0f);
}

TEST_F(SioOnPty, RoundTrips) {
    const std::string long_reply = "!10" + std::string(36, 'A') + "\r";  // 40 characters
    const struct {
        const char* name;
        int adapter_mode;
        std::vector<Piece> answer;
        std::string delivered;
    } cases[] = {
        {"whole reply", 1, {{0ms, "!10R1234\r"}}, "!10R1234\r"},
        {"in pieces", 1, {{0ms, "!1"}, {40ms, "0R12"}, {40ms, "34\r"}}, "!10R1234\r"},
        // The driver doubles a received 0xFF to tell it from an error mark; 0xFF 0x00 is data here.
        {"0xFF and NUL are data",
         1,
         {{0ms,
           "!\xFF\x00\xFF\xFF"
           "B\r"s}},
         "!\xFF\x00\xFF\xFF"
         "B\r"s},
        {"cut to 31", 1, {{0ms, long_reply}}, long_reply.substr(0, kMaxReply)},
        {"carriage return after 31",
         1,
         {{0ms, long_reply.substr(0, 20)}, {30ms, long_reply.substr(20)}},
         long_reply.substr(0, kMaxReply)},
        {"semi-auto", 0, {{0ms, "!10R1234\r"}}, "!10R1234\r"},
    };
    ASSERT_EQ(open_at(9600), OpenResult::Opened);
    const std::string frame =
        "#10R\xFF"
        "1234\r";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sio.settings.adapter_mode = c.adapter_mode;
        Module module(pty, frame.size(), c.answer);
        Reply reply;
        reply.chars.fill('x');
        EXPECT_EQ(sio.transaction(frame, reply), TransferResult::Delivered);
        EXPECT_EQ(module.request(), frame);
        EXPECT_EQ(reply.text(), c.delivered);
        for (std::size_t i = reply.count; i < kMaxReply; ++i)
            EXPECT_EQ(reply.chars[i], '\0') << i;
    }
}

TEST_F(SioOnPty, SemiAutoHoldsTheLineForEachCharacter) {
    ASSERT_EQ(open_at(2400), OpenResult::Opened);  // 4.17 ms a character
    sio.settings.adapter_mode = 0;
    const std::string frame = "#10Rabcdefgh\r";
    Module module(pty, frame.size(), {{0ms, "!10R1\r"}});
    Reply reply;
    const auto t0 = Clock::now();
    EXPECT_EQ(sio.transaction(frame, reply), TransferResult::Delivered);
    const auto elapsed = since(t0);
    EXPECT_EQ(module.request(), frame);
    EXPECT_EQ(reply.text(), "!10R1\r");
    // A pseudo-terminal has no RS-485 mode, so RTS is raised around the frame by us.
    EXPECT_EQ(sio.direction_control(), DirectionControl::ByRts);
    // A pseudo-terminal takes the whole frame at once: only the per-character hold makes this slow.
    EXPECT_GE(elapsed.count(), static_cast<long>(frame.size() * sio.character_time_ms()));
    EXPECT_LT(elapsed, 3000ms);
}

// The pseudo-terminal under a driver that has an RS-485 mode: what Sio asks of it is recorded.
class DriverRs485Backend final : public SerialBackend {
  public:
    struct Log {
        std::vector<bool> mode_requests;  // each set_driver_direction() call
        int writes = 0;
        int rts_raised = 0;
    };
    explicit DriverRs485Backend(Log& log) : log_(log) {}
    bool open(const std::string& path, std::string& error) override { return port_.open(path, error); }
    void close() override {
        if (on_) set_driver_direction(false);
        port_.close();
    }
    bool is_open() const override { return port_.is_open(); }
    bool configure(const LineSettings& settings) override { return port_.configure(settings); }
    bool purge(PurgeKind kind) override { return port_.purge(kind); }
    WaitOutcome write(std::string_view bytes, platform::Event& stop) override {
        ++log_.writes;
        return port_.write(bytes, stop);
    }
    void set_rts(bool raised) override { log_.rts_raised += raised ? 1 : 0; }
    bool set_driver_direction(bool enabled) override {
        log_.mode_requests.push_back(enabled);
        on_ = enabled;
        return true;
    }
    WaitOutcome wait_readable(std::chrono::milliseconds timeout, platform::Event& stop) override {
        return port_.wait_readable(timeout, stop);
    }
    std::size_t read_available(char* buffer, std::size_t max) override {
        return port_.read_available(buffer, max);
    }

  private:
    PosixSerialBackend port_;
    Log& log_;
    bool on_ = false;
};

TEST(SioDirectionControl, SemiAutoUsesTheDriversRs485ModeAndGivesItBack) {
    Pty pty;
    ASSERT_FALSE(pty.slave().empty());
    DriverRs485Backend::Log log;
    Sio sio{std::make_unique<DriverRs485Backend>(log)};
    sio.settings.port_name = pty.slave();
    sio.settings.adapter_mode = 0;
    ASSERT_EQ(sio.open(), OpenResult::Opened);
    EXPECT_EQ(sio.direction_control(), DirectionControl::ByDriver);
    EXPECT_EQ(log.mode_requests, std::vector<bool>{true});

    // The driver holds the transmitter: the frame goes whole, and RTS is left to it.
    const std::string frame = "#10Rabcdefgh\r";
    {
        Module module(pty, frame.size(), {{0ms, "!10R1\r"}});
        Reply reply;
        EXPECT_EQ(sio.transaction(frame, reply), TransferResult::Delivered);
        EXPECT_EQ(module.request(), frame);
        EXPECT_EQ(reply.text(), "!10R1\r");
    }
    EXPECT_EQ(log.writes, 1);
    EXPECT_EQ(log.rts_raised, 0);

    // An automatic adapter chosen while the port is open: the driver's mode is given back at once.
    sio.settings.adapter_mode = 1;
    {
        Module module(pty, frame.size(), {{0ms, "!10R1\r"}});
        Reply reply;
        EXPECT_EQ(sio.transaction(frame, reply), TransferResult::Delivered);
    }
    EXPECT_EQ(sio.direction_control(), DirectionControl::ByAdapter);
    EXPECT_EQ(log.mode_requests, (std::vector<bool>{true, false}));

    sio.settings.adapter_mode = 0;
    {
        Module module(pty, frame.size(), {{0ms, "!10R1\r"}});
        Reply reply;
        EXPECT_EQ(sio.transaction(frame, reply), TransferResult::Delivered);
    }
    EXPECT_EQ(sio.close(), PortResult::Done);
    EXPECT_EQ(log.mode_requests, (std::vector<bool>{true, false, true, false}));
}

TEST_F(SioOnPty, CharacterCountCollectsPieces) {
    // Binary replies: neither a carriage return nor 0xFF ends or disturbs them.
    const std::string eight = "\x10\x06\r\xFF\x00\x05\x1A\x2B"s;
    const struct {
        const char* name;
        std::size_t count;
        std::vector<Piece> answer;
        TransferResult result;
        std::string delivered;
        bool waits_for_timeout;
    } cases[] = {
        {"in three pieces",
         8,
         {{0ms, eight.substr(0, 3)}, {30ms, eight.substr(3, 3)}, {30ms, eight.substr(6)}},
         TransferResult::Delivered,
         eight,
         false},
        {"more than asked", 8, {{0ms, eight + "\x01\x02"}}, TransferResult::Delivered, eight, false},
        {"short reply", 8, {{0ms, eight.substr(0, 5)}}, TransferResult::Delivered, eight.substr(0, 5), true},
        {"nothing", 8, {}, TransferResult::Timeout, "", true},
        {"count 0 takes the first arrival",
         0,
         {{0ms, "\x10\x06"}},
         TransferResult::Delivered,
         "\x10\x06",
         false},
    };
    ASSERT_EQ(open_at(2400), OpenResult::Opened);  // replies within 460 ms
    const std::string frame = "\x10\x06\x00\x01\x00\x02\x9c\x4e"s;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Module module(pty, frame.size(), c.answer);
        Reply reply;
        const auto t0 = Clock::now();
        EXPECT_EQ(sio.transaction(frame, reply, {ReplyEnd::Kind::CharacterCount, c.count}), c.result);
        const auto elapsed = since(t0);
        EXPECT_EQ(module.request(), frame);
        EXPECT_EQ(reply.text(), c.delivered);
        if (c.waits_for_timeout) {
            EXPECT_GE(elapsed, 460ms);
        } else {
            EXPECT_LT(elapsed, 400ms);
        }
    }
}

TEST_F(SioOnPty, NoCompleteReplyTimesOut) {
    const struct {
        const char* name;
        int baud;
        std::vector<Piece> answer;
    } cases[] = {
        {"silence at 9600", 9600, {}},
        {"silence at 2400", 2400, {}},
        {"no carriage return", 9600, {{0ms, "!10R12"}}},
    };
    const std::string frame = "#10R\r";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(open_at(c.baud), OpenResult::Opened);
        Module module(pty, frame.size(), c.answer);
        Reply reply;
        reply.chars.fill('x');
        const auto t0 = Clock::now();
        EXPECT_EQ(sio.transaction(frame, reply), TransferResult::Timeout);
        const auto elapsed = since(t0);
        EXPECT_EQ(reply.count, 0u);
        EXPECT_EQ(reply.chars[0], '\0');
        const auto timeout = std::chrono::milliseconds(sio.reply_timeout_ms());
        EXPECT_GE(elapsed, timeout);
        EXPECT_LT(elapsed, timeout + 400ms);
    }
}

TEST_F(SioOnPty, StopEventEndsTheTransaction) {
    ASSERT_EQ(open_at(110),
              OpenResult::Opened);  // a reply time-out of nearly 7 s: returning early is the stop's doing
    const std::string frame = "#10Rabcdefghijklmnop\r";

    {
        SCOPED_TRACE("while waiting for the reply");
        Module module(pty, frame.size(), {});
        std::thread stopper([this] {
            std::this_thread::sleep_for(50ms);
            sio.stop_event().set();
        });
        Reply reply;
        const auto t0 = Clock::now();
        EXPECT_EQ(sio.transaction(frame, reply), TransferResult::Stopped);
        EXPECT_LT(since(t0), 2000ms);
        stopper.join();
        EXPECT_EQ(module.request(), frame);
    }
    {
        SCOPED_TRACE("set before sending: nothing goes out");
        Reply reply;
        EXPECT_EQ(sio.transaction(frame, reply), TransferResult::Stopped);
        EXPECT_EQ(read_master(pty.master(), 1, 100ms), "");
        sio.stop_event().reset();
    }
    {
        SCOPED_TRACE("while sending character by character");
        sio.settings.adapter_mode = 0;  // 91 ms a character: the whole frame would take about 2 s
        std::thread stopper([this] {
            std::this_thread::sleep_for(150ms);
            sio.stop_event().set();
        });
        Reply reply;
        const auto t0 = Clock::now();
        EXPECT_EQ(sio.transaction(frame, reply), TransferResult::Stopped);
        EXPECT_LT(since(t0), 1000ms);
        stopper.join();
        const std::string sent = read_master(pty.master(), frame.size(), 100ms);
        EXPECT_GT(sent.size(), 0u);
        EXPECT_LT(sent.size(), frame.size());
        sio.stop_event().reset();
    }
}

TEST_F(SioOnPty, ModuleSideHangingUpIsALineError) {
    ASSERT_EQ(open_at(110), OpenResult::Opened);  // a reply time-out of nearly 7 s
    const std::string frame = "#10R\r";
    Module module(pty, frame.size(), {}, /*hang_up=*/true);
    Reply reply;
    const auto t0 = Clock::now();
    EXPECT_EQ(sio.transaction(frame, reply), TransferResult::LineError);
    EXPECT_LT(since(t0), 2000ms);
    EXPECT_EQ(module.request(), frame);
}

}  // namespace
}  // namespace varda
