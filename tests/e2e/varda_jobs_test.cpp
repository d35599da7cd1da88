// Command-line jobs of the real varda program against varda-sim on a pseudo-terminal, with their exit codes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <semaphore.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/app/config_file.h"
#include "core/devices/device_table.h"
#include "core/link/device_io.h"
#include "core/link/posix_serial_backend.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/platform/headless_ui.h"
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

// The requests a varda-sim log shows the module received, each as the bytes of its frame.
std::vector<Bytes> received_frames(const std::string& log) {
    std::vector<Bytes> frames;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        const auto start = line.find("<- #");
        if (start == std::string::npos) continue;
        const std::string_view frame = std::string_view(line).substr(start + 4);
        const auto bytes = decode_buffer(frame.substr(0, frame.find('\\')));  // the log shows \r as text
        if (bytes && bytes->size() >= 4) frames.push_back(*bytes);
    }
    return frames;
}

// Whether a request frame concerns the indexed parameter: its value request, or its attribute exchange
// (hash of "M.s.t.r.", the index and the parameter's hash in the data).
bool concerns(const Bytes& frame, const char* name, int index) {
    const std::uint16_t hash = hash_name(name);
    const std::size_t length = frame[1] & 0x0F;
    if (frame.size() < 4 + length) return false;
    const Bytes data(frame.begin() + 4, frame.begin() + 4 + static_cast<std::ptrdiff_t>(length));
    const std::uint16_t frame_hash = static_cast<std::uint16_t>(frame[2] << 8 | frame[3]);
    if (frame_hash == hash)
        return length >= 2 && data[length - 2] == (index >> 8) && data[length - 1] == (index & 0xFF);
    const Bytes attribute_tail{0x00, static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(hash >> 8),
                               static_cast<std::uint8_t>(hash)};
    return frame_hash == kHashMstr && data.size() >= 4 &&
           std::equal(attribute_tail.begin(), attribute_tail.end(), data.end() - 4);
}

// Runs varda with its standard output going to a file; returns the exit code.
int varda_to_file(std::vector<std::string> args, const std::string& output) {
    const int saved = dup(STDOUT_FILENO);
    std::fflush(stdout);
    const int file = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, STDOUT_FILENO);
    close(file);
    const int code = varda(std::move(args));
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    return code;
}

TEST(VardaJobs, AValueThatCannotBeSentFailsTheWriteAndNothingOfItGoesOut) {
    Workspace ws;
    const std::string file = ws.file("plant.vdc");
    {
        SimProcess source({"--model", "VK03"});
        ASSERT_EQ(varda({"-read/close", "-port:" + source.path(), file}), 0);
    }
    {
        LoadedFile loaded(file);
        ASSERT_EQ(loaded.result.status, LoadStatus::Loaded);
        Parameter* filter = loaded.description.find_parameter("FiLt", 2);
        Parameter* edge = loaded.description.find_parameter("Cnt.E", 1);
        ASSERT_TRUE(filter && edge);
        filter->SetValueText("70000");  // beyond the 16 bits of an "int"
        edge->SetValueText("Никогда");  // not among its items
        ASSERT_TRUE(save_configuration(file, kVk03, loaded.description.root()).ok);
    }
    const std::string log = ws.file("sim.log");
    const std::string errors = ws.file("errors.txt");
    const std::string summary = ws.file("summary.txt");
    SimProcess target({"--model", "VK03", "--log", log});
    EXPECT_EQ(varda_to_file({"-write/close", "-port:" + target.path(), "-elog:" + errors, "--summary", file},
                            summary),
              200);

    std::ifstream error_log(errors);
    const std::string logged((std::istreambuf_iterator<char>(error_log)), {});
    EXPECT_NE(logged.find("FiLt:2 - Bad value (data encoding impossible)\n"), std::string::npos) << logged;
    EXPECT_NE(logged.find("Cnt.E:1 - Bad value (data encoding impossible)\n"), std::string::npos) << logged;
    std::ifstream summary_file(summary);
    const std::string printed((std::istreambuf_iterator<char>(summary_file)), {});
    // This test's loader leaves out the model's own "Prot", which the job counts as well.
    const auto failures = printed.find("failures: ");
    ASSERT_NE(failures, std::string::npos) << printed;
    EXPECT_GE(std::atoi(printed.c_str() + failures + 10), 2) << printed;

    const auto frames = received_frames(log);
    ASSERT_FALSE(frames.empty());
    int neighbours = 0;
    for (const Bytes& frame : frames) {
        EXPECT_FALSE(concerns(frame, "FiLt", 2));
        EXPECT_FALSE(concerns(frame, "Cnt.E", 1));
        neighbours += concerns(frame, "FiLt", 3);
    }
    EXPECT_GE(neighbours, 2);  // the next channel's attribute exchange and value went out
    EXPECT_EQ(module_value(target, "FiLt", 2), "10");
}

}  // namespace
}  // namespace varda
