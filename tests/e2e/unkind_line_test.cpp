// Jobs of the real varda against a varda-sim whose line is unkind: replies late by up to past the
// time-out, lost and garbled, drawn from a seed. Whatever the line does, every value a read stores is the
// module's or its parameter is marked failed, the exit code says whether one failed, and a write puts
// nothing into the module but what the file holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "core/app/command_line/headless_ui.h"
#include "core/app/files/config_file.h"
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
    bool network = false;  // the module's network settings: left alone
    // Values the simulator's console may give it: the items of a list, or whole numbers in its range.
    std::vector<std::string> choices;
    bool operator==(const Row&) const = default;
};

// Every parameter of a configuration file, keyed by its place in the tree.
struct Configuration {
    explicit Configuration(const std::string& path) {
        HeadlessUi ui;
        set_ui(&ui);
        DescriptionContext description;
        description.model_factory = create_device_model;
        std::atomic<int> model{kNoModel};  // the file's model becomes the tree's without a question
        auto rebuild = [&description, &model] {
            DescriptionArchive archive(VARDA_DAT_PATH, false);
            description.ClearDescription();
            description.model_index = model;
            description.LoadDescriptionText(ReadModelDescription(archive, model).text);
        };
        loaded = load_configuration(path, description, model, rebuild).status == LoadStatus::Loaded;
        network_branch = description.network_parameters();
        if (loaded && description.root()) collect(*description.root(), "");
        set_ui(nullptr);
    }
    void collect(const DescBranch& branch, const std::string& at, bool network = false) {
        for (const auto& p : branch.parameters) {
            Row row{p->network_name(),
                    p->indexed ? p->network_index : -1,
                    p->value_text(),
                    p->error_text,
                    p->access_attribute,
                    p->user_attribute,
                    p->writable,
                    network,
                    {}};
            if (p->data_type().find(':') != std::string::npos) {
                for (int k = 0; k < 16 && p->item_text(k) != "no data"; ++k)
                    row.choices.push_back(p->item_text(k));
                for (auto& item : row.choices)
                    std::replace(item.begin(), item.end(), '_', ' ');
            } else if (p->is_type("float")) {
                row.choices = {"1.000", "2.500", "4.000", "7.500"};
            } else if (p->is_type("int") && p->has_limits()) {
                for (int v = static_cast<int>(p->minimum()); v <= p->maximum() && row.choices.size() < 16;
                     ++v)
                    row.choices.push_back(std::to_string(v));
            }
            rows[at + p->network_name() + ":" + std::to_string(p->network_index)] = std::move(row);
        }
        for (std::size_t i = 0; i < branch.children.size(); ++i)
            collect(*branch.children[i], at + std::to_string(i) + "/",
                    network || branch.children[i].get() == network_branch);
    }
    std::size_t failed() const {
        std::size_t n = 0;
        for (const auto& [key, row] : rows)
            n += row.error.empty() ? 0 : 1;
        return n;
    }
    bool loaded = false;
    std::map<std::string, Row> rows;
    const DescBranch* network_branch = nullptr;
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

// A writable parameter the console can set to another value; the network settings stay.
bool settable(const Row& row) {
    return row.writable && !row.network && row.choices.size() > 1 && row.name.find('*') == std::string::npos;
}

std::string place_of(const Row& row) {
    return row.name + (row.index >= 0 ? ":" + std::to_string(row.index) : "");
}

testing::ProgramRun job(const char* kind, const SimProcess& sim, const std::string& file) {
    return testing::run_program_capturing(VARDA_PATH,
                                          {kind, "-port:" + sim.path(), "-bps:115200", "--summary", file});
}

struct Case {
    const char* model;
    unsigned seed;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.model << " seed " << c.seed;
}

class UnkindLine : public ::testing::TestWithParam<Case> {};

TEST_P(UnkindLine, ReadAndWriteStoreOnlyTheModulesValues) {
    const Case c = GetParam();
    Workspace ws;
    SimProcess sim({"--model", c.model}, true);
    ASSERT_TRUE(sim.running());

    // What the module holds, read on a kind line, after its whole numbers were made to differ from each
    // other's, so that a reply taken for another parameter or index shows.
    const std::string clean = ws.file("clean.vdc");
    testing::ProgramRun run = job("-read/close", sim, clean);
    ASSERT_EQ(run.code, 0) << run.error_output;
    std::size_t distinct = 0;
    for (const auto& [key, row] : Configuration(clean).rows) {
        if (!settable(row)) continue;
        sim.command("set " + place_of(row) + " " + row.choices[distinct++ % row.choices.size()]);
    }
    run = job("-read/close", sim, clean);
    ASSERT_EQ(run.code, 0) << run.error_output;
    const Configuration module(clean);
    ASSERT_TRUE(module.loaded);
    ASSERT_GT(module.rows.size(), 20u);

    // A read on an unkind line: 12 % of the replies up to 500 ms late (the time-out is 160 ms, two attempts
    // take 320 ms, so some come while a later request waits), 2 % lost, 2 % garbled.
    const std::string chaos = "chaos " + std::to_string(c.seed) + " 12 500 2 2";
    ASSERT_EQ(sim.command(chaos).rfind("ok:", 0), 0u);
    const std::string unkind = ws.file("unkind.vdc");
    run = job("-read/close", sim, unkind);
    const Configuration read(unkind);
    // A module that never answered its identification leaves nothing to compare, and says so.
    if (!read.loaded) {
        EXPECT_NE(run.code, 0);
    }
    if (read.loaded) {
        ASSERT_EQ(read.rows.size(), module.rows.size());
    }
    for (const auto& [key, row] : read.rows) {
        if (!row.error.empty()) continue;  // marked failed: the file says so
        const Row& held = module.rows.at(key);
        EXPECT_EQ(row.value, held.value) << key;
        EXPECT_EQ(row.access, held.access) << key;
        EXPECT_EQ(row.user, held.user) << key;
    }
    if (read.loaded) {
        EXPECT_EQ(run.code != 0, read.failed() > 0) << run.code << " with " << read.failed() << " failed\n"
                                                    << run.error_output;
    }

    // The module moves away from the file: a dozen parameters to another value.
    std::map<std::string, std::string> moved;
    for (const auto& [key, row] : module.rows) {
        if (moved.size() == 12 || !settable(row)) continue;
        const auto at = std::find(row.choices.begin(), row.choices.end(), row.value);
        const std::string other =
            at == row.choices.end() || at + 1 == row.choices.end() ? row.choices.front() : *(at + 1);
        if (other != row.value && sim.command("set " + place_of(row) + " " + other).rfind("ok:", 0) == 0)
            moved[key] = other;
    }
    EXPECT_GE(moved.size(), 5u);

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
