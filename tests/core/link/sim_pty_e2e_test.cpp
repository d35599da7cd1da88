// The request engine on a real pseudo-terminal against the varda-sim program.
#include <gtest/gtest.h>

#include "core/link/device_io.h"
#include "core/link/posix_serial_backend.h"
#include "core/model/parameter.h"
#include "tests/support/sim_process.h"

namespace varda {
namespace {

struct PtyLink {
    explicit PtyLink(std::vector<std::string> sim_args, int base_address = 16, int width = 8)
        : sim(std::move(sim_args)), io(context, std::make_unique<PosixSerialBackend>(), options) {
        io.sio().settings.port_name = sim.path();
        io.sio().settings.base_address = base_address;
        io.sio().settings.address_width = width;
    }
    testing::SimProcess sim;
    ModuleContext context;
    Options options;
    DeviceIO io;
};

std::unique_ptr<Parameter> parameter(const char* name, const char* type) {
    auto p = std::make_unique<Parameter>(name);
    p->set_data_type(type);
    return p;
}

TEST(SimOnPty, ReadAndWriteRoundTrip) {
    PtyLink link({});
    ASSERT_FALSE(link.sim.path().empty());
    ASSERT_EQ(link.io.sio().open(), OpenResult::Opened) << link.io.sio().open_error();

    auto dev = parameter("dev", "string");
    EXPECT_EQ(link.io.request(true, dev.get()), RequestResult::Done) << dev->error_text;
    EXPECT_EQ(dev->value_text(), "VK05");

    auto filter = parameter("FiLt", "int");
    ASSERT_TRUE(filter->AcceptValue("9"));
    EXPECT_EQ(link.io.request(false, filter.get()), RequestResult::Done) << filter->error_text;
    filter->SetValueText("0");
    EXPECT_EQ(link.io.request(true, filter.get()), RequestResult::Done) << filter->error_text;
    EXPECT_EQ(filter->value_text(), "9");

    auto unknown = parameter("ZZZ", "int");
    EXPECT_EQ(link.io.request(true, unknown.get()), RequestResult::ExchangeFailed);
    EXPECT_EQ(unknown->error_text, "Descriptor not found");
    EXPECT_EQ(link.sim.terminate(), 0);
}

TEST(SimOnPty, ElevenBitAddress) {
    PtyLink link({"--address", "1000", "--width", "11"}, 1000, 11);
    ASSERT_EQ(link.io.sio().open(), OpenResult::Opened) << link.io.sio().open_error();
    auto address = parameter("Addr", "int");
    EXPECT_EQ(link.io.request(true, address.get()), RequestResult::Done) << address->error_text;
    EXPECT_EQ(address->value_text(), "1000");

    // Another address stays silent.
    link.io.sio().settings.base_address = 999;
    EXPECT_EQ(link.io.request(true, address.get()), RequestResult::ExchangeFailed);
    EXPECT_EQ(address->error_text, "Time-out error");
}

TEST(SimOnPty, SwitchOverFromModbusRtu) {
    PtyLink link({"--mode", "rtu"});
    ASSERT_EQ(link.io.sio().open(), OpenResult::Opened) << link.io.sio().open_error();
    link.context.switch_over = SwitchOverMode::ModbusRtu;
    EXPECT_EQ(link.io.request(true, nullptr), RequestResult::Done);
    link.context.switch_over = SwitchOverMode::Ravelin;
    auto dev = parameter("dev", "string");
    EXPECT_EQ(link.io.request(true, dev.get()), RequestResult::Done) << dev->error_text;
}

}  // namespace
}  // namespace varda
