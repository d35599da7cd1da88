// Command-line jobs of the real varda program against varda-sim on a pseudo-terminal, with their exit codes.
#include <gtest/gtest.h>
#include <semaphore.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/app/config_file.h"
#include "core/model/device_table.h"
#include "core/link/device_io.h"
#include "core/link/posix_serial_backend.h"
#include "core/devices/models.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/app/headless_ui.h"
#include "tests/support/sim_process.h"

namespace varda {
namespace {

namespace fs = std::filesystem;
using testing::SimProcess;

constexpr int kVk03 = 3;

struct Workspace {
    Workspace()
        : dir(fs::temp_directory_path() /
              ("varda-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++n))) {
        fs::create_directories(dir);
    }
    ~Workspace() { fs::remove_all(dir); }
    std::string file(const char* name) const { return (dir / name).string(); }
    static inline int n = 0;
    fs::path dir;
};

// Each run starts from the stored defaults, in a settings folder of its own (never the user's).
int varda(std::vector<std::string> args) {
    static int run = 0;
    const auto config = fs::temp_directory_path() /
                        ("varda-e2e-config-" + std::to_string(getpid()) + "-" + std::to_string(++run));
    fs::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const int code = testing::run_program(VARDA_PATH, std::move(args));
    fs::remove_all(config);
    return code;
}

// The VK03 tree with the values of a configuration file.
struct LoadedFile {
    explicit LoadedFile(const std::string& path) {
        set_ui(&ui);
        set_current_model_index(kVk03);
        description.model_factory = create_device_model;
        auto rebuild = [this] {
            DescriptionArchive archive(VARDA_DAT_PATH, false);
            description.ClearDescription();
            description.LoadDescriptionText(ReadModelDescription(archive, current_model_index()).text);
        };
        rebuild();
        result = load_configuration(path, description, rebuild);
    }
    ~LoadedFile() { set_ui(nullptr); }
    std::string value(const char* name, int index) {
        Parameter* p = description.find_parameter(name, index);
        return p ? p->value_text() : "<missing>";
    }
    HeadlessUi ui;
    DescriptionContext description;
    LoadResult result;
};

// Reads one parameter from the simulator's module, as the test's own client.
std::string module_value(const SimProcess& sim, const char* name, int index) {
    Options options;
    DeviceIO io(std::make_unique<PosixSerialBackend>(), options);
    io.sio().settings.port_name = sim.path();
    if (io.sio().open() != 0) return "<no port>";
    Parameter p(name);
    p.set_data_type("int");
    p.indexed = index >= 0;
    p.network_index = index;
    return io.request(true, &p) == 0 ? p.value_text() : p.error_text;
}

TEST(VardaJobs, ReadSavesTheModulesValues) {
    Workspace ws;
    SimProcess sim({"--model", "VK03", "--param", "FiLt:2=int=42"});
    const std::string file = ws.file("plant.vdc");
    EXPECT_EQ(varda({"-read/close", "-port:" + sim.path(), file}), 0);
    ASSERT_TRUE(fs::exists(file));
    LoadedFile loaded(file);
    EXPECT_EQ(loaded.result.status, LoadStatus::Loaded);
    EXPECT_EQ(loaded.value("FiLt", 2), "42");
    EXPECT_EQ(loaded.value("FiLt", 0), "10");
}

TEST(VardaJobs, WriteChangesTheModule) {
    Workspace ws;
    const std::string file = ws.file("plant.vdc");
    {
        SimProcess source({"--model", "VK03", "--param", "FiLt:2=int=42"});
        ASSERT_EQ(varda({"-read/close", "-port:" + source.path(), file}), 0);
    }
    SimProcess target({"--model", "VK03"});
    ASSERT_EQ(module_value(target, "FiLt", 2), "10");
    EXPECT_EQ(varda({"-write/close", "-port:" + target.path(), file}), 0);
    EXPECT_EQ(module_value(target, "FiLt", 2), "42");
}

struct ExitCase {
    const char* what;
    std::vector<std::string> sim;   // empty: no simulator
    std::vector<std::string> args;  // "PORT" stands for the simulator's terminal, "FILE" for a file
    int code;
};

class VardaExitCodes : public ::testing::TestWithParam<ExitCase> {};

TEST_P(VardaExitCodes, JobEndsWithTheCodeOfItsOutcome) {
    const ExitCase& c = GetParam();
    Workspace ws;
    std::optional<SimProcess> sim;
    if (!c.sim.empty()) sim.emplace(c.sim);
    std::vector<std::string> args;
    for (std::string arg : c.args) {
        if (arg == "FILE") arg = ws.file("job.vdc");
        if (sim && arg.find("PORT") != std::string::npos) arg.replace(arg.find("PORT"), 4, sim->path());
        args.push_back(arg);
    }
    EXPECT_EQ(varda(args), c.code) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, VardaExitCodes,
    ::testing::Values(
        ExitCase{"write without its file", {}, {"-write/close", "-port:/dev/null", "FILE"}, 200},
        ExitCase{"port cannot be opened", {}, {"-read/close", "-port:/dev/varda-no-such-port", "FILE"}, 201},
        ExitCase{"module goes away mid-job",
                 {"--model", "VK03", "--silent-after", "12"},
                 {"-read/close", "-port:PORT", "FILE"},
                 202},
        ExitCase{"garbled replies",
                 {"--model", "VK03", "--garble", "--faults-after", "4"},
                 {"-read/close", "-port:PORT", "FILE"},
                 203},
        ExitCase{"module error reply",
                 {"--model", "VK03", "--error-code", "7", "--faults-after", "4"},
                 {"-read/close", "-port:PORT", "FILE"},
                 204},
        ExitCase{"unknown model",
                 {"--model", "VK03", "--dev", "vk99-dev"},
                 {"-read/close", "-port:PORT", "FILE"},
                 206},
        ExitCase{"connect test", {"--model", "VK03"}, {"-test", "-port:PORT"}, 0}));

TEST(VardaJobs, TheExitEventEndsAnIdleRun) {
    SimProcess sim({"--model", "VK03"});
    const std::string name = "/varda-e2e-exit-" + std::to_string(getpid());
    sem_unlink(name.c_str());
    std::thread poster([&] {
        sem_t* event = SEM_FAILED;
        for (int i = 0; i < 100 && event == SEM_FAILED; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            event = sem_open(name.c_str(), 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (event != SEM_FAILED) {
            sem_post(event);
            sem_close(event);
        }
    });
    EXPECT_EQ(varda({"-exitevent:" + name, "-port:" + sim.path()}), 205);
    poster.join();
    sem_unlink(name.c_str());
}

TEST(VardaJobs, AplyFollowsTheModulesNewSettings) {
    Workspace ws;
    const std::string file = ws.file("plant.vdc");
    const std::string log = ws.file("sim.log");
    SimProcess sim({"--model", "VK03", "--log", log});
    ASSERT_EQ(varda({"-read/close", "-port:" + sim.path(), file}), 0);
    {
        // The module is to move to address 17.
        LoadedFile loaded(file);
        ASSERT_TRUE(loaded.description.network_parameters());
        loaded.description.network_parameters()->SetValue("Addr", "17");
        ASSERT_TRUE(save_configuration(file, kVk03, loaded.description.root()).ok);
    }
    EXPECT_EQ(varda({"-write/close/aply", "-port:" + sim.path(), file}), 0);
    // After APLY the configurator speaks to address 17 (its closing INIT read).
    std::ifstream in(log);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    const std::string aply = build_request(false, kHashAply, {}, 0, {16, 8});
    const std::string init_at_17 = build_request(true, hash_name("INIT"), {}, 0, {17, 8});
    const auto strip = [](std::string s) { return s.substr(0, s.size() - 1); };  // the log shows \r as text
    const auto aply_at = all.find(strip(aply));
    ASSERT_NE(aply_at, std::string::npos) << all;
    EXPECT_NE(all.find(strip(init_at_17), aply_at), std::string::npos);
}

}  // namespace
}  // namespace varda
