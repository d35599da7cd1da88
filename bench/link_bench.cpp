// Reads through the whole link (Sio + DeviceIO + the POSIX backend) on a pseudo-terminal against the
// varda-sim program, against a bare loop that writes the same request bytes and reads the same reply
// bytes on the same kind of terminal with no protocol logic.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "bench/ratio_reporter.h"
#include "core/link/device_io.h"
#include "core/link/posix_serial_backend.h"
#include "core/model/parameter.h"
#include "tests/support/sim_process.h"

namespace {

void BM_LinkRead(benchmark::State& state) {
    varda::testing::SimProcess sim({});
    varda::ModuleContext context;
    varda::Options options;
    varda::DeviceIO io(context, std::make_unique<varda::PosixSerialBackend>(), options);
    io.sio().settings.port_name = sim.path();
    if (io.sio().open() != varda::OpenResult::Opened) {
        state.SkipWithError("cannot open the simulator's terminal");
        return;
    }
    varda::Parameter address("Addr");
    address.set_data_type("int");
    for (auto _ : state) {
        if (io.request(true, &address) != varda::RequestResult::Done) {
            state.SkipWithError(address.error_text.c_str());
            return;
        }
    }
    // What was read is what the module holds.
    if (address.value_text() != "16") {
        state.SkipWithError(("read Addr = " + address.value_text() + ", the module holds 16").c_str());
        return;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LinkRead)->UseRealTime();

void BM_BareRead(benchmark::State& state) {
    varda::testing::SimProcess sim({});
    const int fd = ::open(sim.path().c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        state.SkipWithError("cannot open the simulator's terminal");
        return;
    }
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    const std::string request = varda::build_request(true, varda::hash_name("Addr"), {}, 0, {16, 8});
    char reply[64];
    std::size_t last = 0;
    for (auto _ : state) {
        if (::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) break;
        std::size_t got = 0;
        while (got == 0 || reply[got - 1] != '\r') {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0) {
                state.SkipWithError("no reply");
                ::close(fd);
                return;
            }
            const ssize_t n = ::read(fd, reply + got, sizeof reply - got);
            if (n > 0) got += static_cast<std::size_t>(n);
        }
        benchmark::DoNotOptimize(reply);
        last = got;
    }
    ::close(fd);
    // The bytes moved are a whole reply to the request, with the module's address in it.
    const auto outcome = varda::parse_reply(std::string_view(reply, last), varda::hash_name("Addr"));
    if (outcome.kind != varda::ReplyOutcome::Kind::Accepted || outcome.data != varda::Bytes{0x00, 0x10}) {
        state.SkipWithError("the bare loop did not get the module's reply");
        return;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareRead)->UseRealTime();

const RatioPair kLinkRatio("BM_LinkRead/real_time", "BM_BareRead/real_time");

}  // namespace
