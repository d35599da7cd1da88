// Jobs of the real varda against a varda-sim whose line is unkind: replies late by up to past the
// time-out, lost and garbled, drawn from a seed. Whatever the line does, every value a read stores is the
// module's or its parameter is marked failed, the exit code says whether one failed, and a write puts
// nothing into the module but what the file holds.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/app/config_file.h"
#include "core/app/headless_ui.h"
#include "core/devices/models.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "tests/support/ser2net_gateway.h"
#include "tests/support/sim_process.h"

namespace varda {
namespace {

namespace fs = std::filesystem;
using testing::SimProcess;

struct Row {
    std::string name;
    int index = -1;  // -1: not indexed
    std::string value;
    std::string error;
    bool access = false;
    bool user = false;
    bool writable = false;
    bool operator==(const Row&) const = default;
};

// Every parameter of a configuration file, keyed by its place in the tree.
struct Configuration {
    explicit Configuration(const std::string& path) {
        HeadlessUi ui;
        set_ui(&ui);
        DescriptionContext description;
        description.model_factory = create_device_model;
        auto rebuild = [&description] {
            DescriptionArchive archive(VARDA_DAT_PATH, false);
            description.ClearDescription();
            description.LoadDescriptionText(ReadModelDescription(archive, current_model_index()).text);
        };
        loaded = load_configuration(path, description, rebuild).status == LoadStatus::Loaded;
        if (loaded && description.root()) collect(*description.root(), "");
        set_ui(nullptr);
    }
    void collect(const DescBranch& branch, const std::string& at) {
        for (const auto& p : branch.parameters) {
            rows[at + p->network_name() + ":" + std::to_string(p->network_index)] =
                Row{p->network_name(),   p->indexed ? p->network_index : -1,
                    p->value_text(),     p->error_text,
                    p->access_attribute, p->user_attribute,
                    p->writable};
        }
        for (std::size_t i = 0; i < branch.children.size(); ++i)
            collect(*branch.children[i], at + std::to_string(i) + "/");
    }
    std::size_t failed() const {
        std::size_t n = 0;
        for (const auto& [key, row] : rows)
            n += row.error.empty() ? 0 : 1;
        return n;
    }
    bool loaded = false;
    std::map<std::string, Row> rows;
};

struct Workspace {
    Workspace() : dir(fs::temp_directory_path() / ("varda-unkind-" + std::to_string(getpid()))) {
        fs::create_directories(dir);
        fs::create_directories(dir / "config");
        // Each run starts from the stored defaults, never the user's.
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    }
    ~Workspace() { fs::remove_all(dir); }
    std::string file(const std::string& name) const { return (dir / name).string(); }
    fs::path dir;
};

testing::ProgramRun job(const char* kind, const SimProcess& sim, const std::string& file) {
    return testing::run_program_capturing(VARDA_PATH,
                                          {kind, "-port:" + sim.path(), "-bps:115200", "--summary", file});
}

struct Case {
    const char* model;
    unsigned seed;
};

class UnkindLine : public ::testing::TestWithParam<Case> {};

TEST_P(UnkindLine, ReadAndWriteStoreOnlyTheModulesValues) {
    const Case c = GetParam();
    Workspace ws;
    SimProcess sim({"--model", c.model}, true);
    ASSERT_TRUE(sim.running());

    // What the module holds, read on a kind line.
    const std::string clean = ws.file("clean.vdc");
    testing::ProgramRun run = job("-read/close", sim, clean);
    ASSERT_EQ(run.code, 0) << run.error_output;
    const Configuration module(clean);
    ASSERT_TRUE(module.loaded);
    ASSERT_GT(module.rows.size(), 20u);

    // A read on an unkind line: 8 % of the replies up to 400 ms late (the time-out is 160 ms), 2 % lost,
    // 2 % garbled.
    const std::string chaos = "chaos " + std::to_string(c.seed) + " 8 400 2 2";
    ASSERT_EQ(sim.command(chaos).rfind("ok:", 0), 0u);
    const std::string unkind = ws.file("unkind.vdc");
    run = job("-read/close", sim, unkind);
    const Configuration read(unkind);
    ASSERT_TRUE(read.loaded) << run.error_output;
    ASSERT_EQ(read.rows.size(), module.rows.size());
    for (const auto& [key, row] : read.rows) {
        if (!row.error.empty()) continue;  // marked failed: the file says so
        const Row& held = module.rows.at(key);
        EXPECT_EQ(row.value, held.value) << key;
        EXPECT_EQ(row.access, held.access) << key;
        EXPECT_EQ(row.user, held.user) << key;
    }
    EXPECT_EQ(run.code != 0, read.failed() > 0) << run.code << " with " << read.failed() << " failed\n"
                                                << run.error_output;

    // The module moves away from the file: a few writable whole numbers one up.
    std::map<std::string, std::string> moved;
    for (const auto& [key, row] : module.rows) {
        if (moved.size() == 12 || !row.writable || row.value.empty() ||
            row.name.find('*') != std::string::npos ||
            row.value.find_first_not_of("0123456789") != std::string::npos || row.value.size() > 4)
            continue;
        const std::string place = row.name + (row.index >= 0 ? ":" + std::to_string(row.index) : "");
        const std::string other = std::to_string(std::stoi(row.value) + 1);
        if (sim.command("set " + place + " " + other).rfind("ok:", 0) == 0) moved[key] = other;
    }
    EXPECT_GT(moved.size(), 3u);

    // A write of the file on the unkind line, then a kind read: whatever the write job reports, the module
    // holds the file's values and attributes, or for a write that failed the value it had.
    run = job("-write/close", sim, clean);
    const int write_code = run.code;
    ASSERT_EQ(sim.command("chaos off").rfind("ok:", 0), 0u);
    const std::string after = ws.file("after.vdc");
    run = job("-read/close", sim, after);
    ASSERT_EQ(run.code, 0) << run.error_output;
    const Configuration written(after);
    ASSERT_EQ(written.rows.size(), module.rows.size());
    for (const auto& [key, row] : written.rows) {
        const Row& held = module.rows.at(key);
        const auto was = moved.find(key);
        if (write_code != 0 && was != moved.end() && row.value == was->second) continue;  // not written
        EXPECT_EQ(row.value, held.value) << key << " (write exit code " << write_code << ")";
        EXPECT_EQ(row.access, held.access) << key;
        EXPECT_EQ(row.user, held.user) << key;
    }
}

// A gateway that cannot open its own device says so and closes the connection: the job stops at once
// with the port's exit code and the gateway's words, instead of hammering a dead connection.
TEST(UnkindGateway, AClosedConnectionEndsTheJobAtOnce) {
    if (!fs::exists("/usr/sbin/ser2net"))
        GTEST_SKIP() << "ser2net is not installed (scripts/install-deps.sh)";
    Workspace ws;
    testing::Gateway gateway("/dev/varda-test-no-such-device", ws.dir.string());
    ASSERT_GT(gateway.pid, 0);
    const std::string port = "tcp://127.0.0.1:" + std::to_string(gateway.raw_port);
    const auto started = std::chrono::steady_clock::now();
    const testing::ProgramRun run = testing::run_program_capturing(
        VARDA_PATH, {"-read/close", "-port:" + port, "--summary", ws.file("a.vdc")});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(run.code, 201) << run.error_output;
    EXPECT_NE(run.error_output.find(port + ": the gateway closed the connection"), std::string::npos)
        << run.error_output;
    EXPECT_FALSE(fs::exists(ws.file("a.vdc")));
}

INSTANTIATE_TEST_SUITE_P(Models, UnkindLine, ::testing::Values(Case{"VK15", 11}, Case{"VK20", 23}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.model);
                         });

}  // namespace
}  // namespace varda
