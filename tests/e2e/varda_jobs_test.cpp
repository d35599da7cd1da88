// Command-line jobs of the real varda program against varda-sim on a pseudo-terminal, with their exit codes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <semaphore.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include "core/app/command_line/headless_ui.h"
#include "core/app/files/config_file.h"
#include "core/devices/models.h"
#include "core/link/device_io.h"
#include "core/link/posix_serial_backend.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/strings.h"
#include "tests/support/ser2net_gateway.h"
#include "tests/support/sim_process.h"

namespace varda {
namespace {

namespace fs = std::filesystem;
using testing::Gateway;
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

// Each run starts from the stored defaults, in a settings folder of its own (never the user's). With a
// shell setup, varda runs under a shell that first runs it (limits, signals).
testing::ProgramRun varda_run(std::vector<std::string> args, const std::string& shell_setup = {},
                              const std::string& program = VARDA_PATH) {
    static int run = 0;
    const auto config = fs::temp_directory_path() /
                        ("varda-e2e-config-" + std::to_string(getpid()) + "-" + std::to_string(++run));
    fs::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    testing::ProgramRun result;
    if (shell_setup.empty()) {
        result = testing::run_program_capturing(program, std::move(args));
    } else {
        args.insert(args.begin(), {"-c", shell_setup + "; exec \"$0\" \"$@\"", program});
        result = testing::run_program_capturing("/bin/sh", std::move(args));
    }
    fs::remove_all(config);
    return result;
}

int varda(std::vector<std::string> args) {
    return varda_run(std::move(args)).code;
}

// A failed job says why in exactly one line on standard error; a job that succeeded says nothing.
void expect_one_line_about_failure(const testing::ProgramRun& run, const char* says = nullptr) {
    if (run.code == 0) {
        EXPECT_EQ(run.error_output, "");
        return;
    }
    EXPECT_EQ(run.error_output.rfind("varda: ", 0), 0u) << run.error_output;
    EXPECT_EQ(std::count(run.error_output.begin(), run.error_output.end(), '\n'), 1) << run.error_output;
    if (says) {
        EXPECT_NE(run.error_output.find(says), std::string::npos) << run.error_output;
    }
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The frames the simulated module received, from its log.
int requests_received(const std::string& log) {
    std::istringstream in(file_bytes(log));
    int n = 0;
    for (std::string line; std::getline(in, line);)
        if (line.find(" <- ") != std::string::npos) ++n;
    return n;
}

// The VK03 tree with the values of a configuration file.
struct LoadedFile {
    explicit LoadedFile(const std::string& path) {
        set_ui(&ui);
        model = kVk03;
        description.model_factory = create_device_model;
        // The tree of the simulator's version, as the job builds it ("Prot" is declared for it).
        description.version_major = 2;
        description.version_minor = 10;
        auto rebuild = [this] {
            DescriptionArchive archive(VARDA_DAT_PATH, false);
            description.ClearDescription();
            description.model_index = model;
            description.LoadDescriptionText(ReadModelDescription(archive, model).text);
        };
        rebuild();
        result = load_configuration(path, description, model, rebuild);
    }
    ~LoadedFile() { set_ui(nullptr); }
    std::string value(const char* name, int index) {
        Parameter* p = description.find_parameter(name, index);
        return p ? p->value_text() : "<missing>";
    }
    HeadlessUi ui;
    std::atomic<int> model{kNoModel};
    DescriptionContext description;
    LoadResult result;
};

// Reads one parameter from the simulator's module, as the test's own client.
std::string module_value(const SimProcess& sim, const char* name, int index) {
    ModuleContext context;
    Options options;
    DeviceIO io(context, std::make_unique<PosixSerialBackend>(), options);
    io.sio().settings.port_name = sim.path();
    if (io.sio().open() != OpenResult::Opened) return "<no port>";
    Parameter p(name);
    p.set_data_type("int");
    p.indexed = index >= 0;
    p.network_index = index;
    return io.request(true, &p) == RequestResult::Done ? p.value_text() : p.error_text;
}

TEST(VardaJobs, ReadSavesTheModulesValues) {
    Workspace ws;
    SimProcess sim({"--model", "VK03", "--param", "FiLt:2=int=42"});
    const std::string file = ws.file("plant.vdc");
    const testing::ProgramRun run = varda_run({"-read/close", "--summary", "-port:" + sim.path(), file});
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.output.find("file: " + file + "\n"), std::string::npos) << run.output;
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
    const char* says = nullptr;  // a part of the line on standard error
};

// What GoogleTest prints of a case: its words, not its bytes.
void PrintTo(const ExitCase& c, std::ostream* out) {
    *out << c.what;
}

class VardaExitCodes : public ::testing::TestWithParam<ExitCase> {};

// "write without its file" -> "WriteWithoutItsFile": a case's words as a test name.
std::string test_name(const char* what) {
    std::string name;
    bool upper = true;
    for (const char* c = what; *c; ++c) {
        const bool alnum = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
        if (!alnum) {
            upper = true;
            continue;
        }
        name += upper && *c >= 'a' && *c <= 'z' ? static_cast<char>(*c - 'a' + 'A') : *c;
        upper = false;
    }
    return name;
}

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
    const testing::ProgramRun run = varda_run(args);
    EXPECT_EQ(run.code, c.code) << c.what;
    expect_one_line_about_failure(run, c.says);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, VardaExitCodes,
    ::testing::Values(ExitCase{"write without its file",
                               {},
                               {"-write/close", "-port:/dev/null", "FILE"},
                               200,
                               "job.vdc: the file to write is missing or empty"},
                      ExitCase{"port cannot be opened",
                               {},
                               {"-read/close", "-port:/dev/varda-no-such-port", "FILE"},
                               201,
                               "/dev/varda-no-such-port: "},
                      // Failures that the connection procedure recovers from are no failure of the job.
                      ExitCase{"module starting in Modbus RTU",
                               {"--model", "VK03", "--mode", "rtu"},
                               {"-read/close", "-port:PORT", "FILE"},
                               0},
                      ExitCase{"module starting in DCON",
                               {"--model", "VK03", "--mode", "dcon"},
                               {"-read/close", "-port:PORT", "FILE"},
                               0},
                      ExitCase{"first identification missed",
                               {"--model", "VK03", "--silent-first", "2"},
                               {"-read/close", "-port:PORT", "FILE"},
                               0},
                      ExitCase{"module goes away mid-job",
                               {"--model", "VK03", "--silent-after", "12"},
                               {"-read/close", "-port:PORT", "FILE"},
                               202},
                      ExitCase{"garbled replies",
                               {"--model", "VK03", "--garble", "--faults-after", "4"},
                               {"-read/close", "-port:PORT", "FILE"},
                               203},
                      // A reply that arrived but cannot be taken fails its parameter as surely as a
                      // time-out does: bPS answers with a rate the model does not have.
                      ExitCase{"reply that cannot be decoded",
                               {"--model", "VK03", "--param", "bPS=int=20"},
                               {"-read/close", "-port:PORT", "FILE"},
                               203,
                               "could not be read: bPS (Response cannot be decoded)"},
                      ExitCase{"module error reply",
                               {"--model", "VK03", "--error-code", "7", "--faults-after", "4"},
                               {"-read/close", "-port:PORT", "FILE"},
                               204},
                      ExitCase{"unknown model",
                               {"--model", "VK03", "--dev", "vk99-dev"},
                               {"-read/close", "-port:PORT", "FILE"},
                               206,
                               "not a known model"},
                      ExitCase{"connect test", {"--model", "VK03"}, {"-test", "-port:PORT"}, 0}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return test_name(info.param.what); });

// Posts the exit event `name` once varda has made it and `after` has passed since.
std::thread post_exit_event(const std::string& name, std::chrono::milliseconds after) {
    sem_unlink(name.c_str());
    return std::thread([name, after] {
        sem_t* event = SEM_FAILED;
        for (int i = 0; i < 100 && event == SEM_FAILED; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            event = sem_open(name.c_str(), 0);
        }
        std::this_thread::sleep_for(after);
        if (event != SEM_FAILED) {
            sem_post(event);
            sem_close(event);
        }
    });
}

TEST(VardaJobs, TheExitEventEndsAnIdleRun) {
    SimProcess sim({"--model", "VK03"});
    const std::string name = "/varda-e2e-exit-" + std::to_string(getpid());
    std::thread poster = post_exit_event(name, std::chrono::milliseconds(300));
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

// Five time-outs in a row give the job up, as they give the window's task up: a module gone silent after
// answering its identification costs a few requests, not one pair of tries for each of its parameters.
TEST(VardaJobs, AModuleGoneSilentGivesTheReadUp) {
    Workspace ws;
    const std::string log = ws.file("sim.log");
    int parameters = 0;
    {
        SimProcess sim({"--model", "VK03", "--log", log});
        ASSERT_EQ(varda({"-read/close", "-port:" + sim.path(), ws.file("whole.vdc")}), 0);
        parameters = requests_received(log);
    }
    SimProcess sim({"--model", "VK03", "--silent-after", "2", "--log", log});  // "dev" and "ver" answered
    const testing::ProgramRun run = varda_run({"-read/close", "-port:" + sim.path(), ws.file("job.vdc")});
    EXPECT_EQ(run.code, 202);
    expect_one_line_about_failure(run, "the module did not answer");
    // Identification, five parameters with their retries and the closing INIT: far from a whole read.
    const int requests = requests_received(log);
    EXPECT_LT(requests, 30);
    EXPECT_GT(parameters, 3 * requests);
}

// A file to write that cannot be used in full writes nothing and says why.
TEST(VardaJobs, WriteRefusesAFileItCannotUse) {
    Workspace ws;
    const std::string vk03 = ws.file("vk03.vdc");
    const std::string vk05 = ws.file("vk05.vdc");
    {
        SimProcess sim({"--model", "VK03"});
        ASSERT_EQ(varda({"-read/close", "-port:" + sim.path(), vk03}), 0);
    }
    {
        SimProcess sim({"--model", "VK05"});
        ASSERT_EQ(varda({"-read/close", "-port:" + sim.path(), vk05}), 0);
    }
    const std::string whole = file_bytes(vk03);
    const struct {
        const char* name;
        std::string bytes;  // empty: the VK05 file
        const char* says;
    } cases[] = {
        {"vk05.vdc", {}, "vk05.vdc: the file is for VK05, the module is VK03"},
        {"half.vdc", whole.substr(0, whole.size() / 2), "half.vdc: the file ends inside its records"},
        {"text.vdc", "plant one, all defaults\n", "text.vdc: not a configuration file"},
    };
    for (const auto& c : cases) {
        const std::string file = c.bytes.empty() ? vk05 : ws.file(c.name);
        if (!c.bytes.empty()) std::ofstream(file, std::ios::binary) << c.bytes;
        const std::string log = ws.file("sim.log");
        SimProcess sim({"--model", "VK03", "--log", log});
        const int identification = 2;
        const testing::ProgramRun run = varda_run({"-write/close", "-port:" + sim.path(), file});
        EXPECT_EQ(run.code, 200) << c.name;
        expect_one_line_about_failure(run, c.says);
        // Identification and the closing INIT read: nothing was written.
        EXPECT_LE(requests_received(log), identification + 1) << c.name;
    }
}

// A read job whose file cannot be written (here: the file system refuses to let it grow) says so with its
// own code and leaves the file that was there as it was.
TEST(VardaJobs, AReadThatCannotBeSavedKeepsTheOldFile) {
    Workspace ws;
    const std::string file = ws.file("plant.vdc");
    const std::string old_contents = "the configuration saved last week";
    std::ofstream(file, std::ios::binary) << old_contents;
    SimProcess sim({"--model", "VK03"});
    const testing::ProgramRun run =
        varda_run({"-read/close", "--summary", "-port:" + sim.path(), file}, "trap '' XFSZ; ulimit -f 1");
    EXPECT_EQ(run.code, 207);
    expect_one_line_about_failure(run, "plant.vdc: the configuration could not be saved");
    EXPECT_EQ(file_bytes(file), old_contents);
    EXPECT_EQ(run.output.find("file:"), std::string::npos) << run.output;
}

// The program finds varda.dat beside itself: a copy of it in a folder of its own meets a missing, a
// foreign or an incomplete archive, and its jobs say so instead of doing nothing with success.
TEST(VardaJobs, WithoutTheModelsDescriptionAJobSaysWhy) {
    const struct {
        const char* what;
        std::function<void(const fs::path&)> make;
        const char* says;
    } cases[] = {
        {"no varda.dat", [](const fs::path&) {}, "varda.dat: "},
        {"not a compound file", [](const fs::path& dat) { std::ofstream(dat) << "descriptions\n"; },
         "varda.dat: "},
        {"no VK03 description",
         [](const fs::path& dat) {
             DescriptionArchive archive(dat.string(), true);
             archive.AddMemberBytes("vk05.tree", "const CH 1\n");
         },
         "no such member: \"vk03.tree\""},
    };
    Workspace files;
    const std::string good = files.file("good.vdc");
    SimProcess sim({"--model", "VK03"});
    ASSERT_EQ(varda({"-read/close", "-port:" + sim.path(), good}), 0);
    for (const auto& c : cases) {
        Workspace ws;
        const fs::path program = ws.dir / "varda";
        fs::copy_file(VARDA_PATH, program);
        c.make(ws.dir / "varda.dat");
        const std::string read_into = ws.file("read.vdc");
        for (const std::vector<std::string>& job : {std::vector<std::string>{"-read/close", read_into},
                                                    std::vector<std::string>{"-write/close", good}}) {
            const testing::ProgramRun run =
                varda_run({job[0], "-port:" + sim.path(), job[1]}, {}, program.string());
            EXPECT_EQ(run.code, 208) << c.what << " " << job[0];
            expect_one_line_about_failure(run, c.says);
        }
        EXPECT_FALSE(fs::exists(read_into)) << c.what;
    }
}

// Calibration asks the engineer at every step: without a display nothing of it can run.
TEST(VardaJobs, CalibrationWithoutADisplaySaysSoAndFails) {
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    const std::string wayland = std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const testing::ProgramRun run = varda_run({"-calibrate", "-port:/dev/null"});
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    if (!wayland.empty()) setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
    EXPECT_EQ(run.code, 2);
    expect_one_line_about_failure(run, "calibration needs a display");
}

TEST(VardaJobs, ABadOptionValueEndsWithCode2BeforeThePortIsTouched) {
    Workspace ws;
    const std::string log = ws.file("sim.log");
    SimProcess sim({"--model", "VK03", "--log", log});
    const std::string port = "-port:" + sim.path();
    for (const std::string bad :
         {"-bps:12345", "-addr:300", "-addr:2047", "-prty:mark", "-alen:9", "-brand:acme"}) {
        const testing::ProgramRun run = varda_run({"-read/close", port, bad, ws.file("job.vdc")});
        EXPECT_EQ(run.code, 2) << bad;
        EXPECT_NE(run.error_output.find("varda: " + bad + ": "), std::string::npos)
            << bad << ": " << run.error_output;
    }
    std::ifstream in(log);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "");  // not one frame was sent
    EXPECT_FALSE(fs::exists(ws.file("job.vdc")));
}

TEST(VardaJobs, WithoutADisplayOrAJobItSaysSoAndEnds) {
    Workspace ws;
    const std::string file = ws.file("plant.vdc");
    std::ofstream(file) << "x";
    struct Unset {
        explicit Unset(const char* name) : name(name) {
            if (const char* value = getenv(name)) saved = value;
            unsetenv(name);
        }
        ~Unset() {
            if (saved) setenv(name, saved->c_str(), 1);
        }
        const char* name;
        std::optional<std::string> saved;
    } display("DISPLAY"), wayland("WAYLAND_DISPLAY");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{file}, std::vector<std::string>{"-port:/dev/ttyUSB0", file}}) {
        const testing::ProgramRun run = varda_run(args);
        EXPECT_EQ(run.code, 2) << args[0];
        EXPECT_NE(run.error_output.find("varda: there is no display for the window, and no job"),
                  std::string::npos)
            << run.error_output;
    }
}

// --no-window runs the job as it runs without a display, whatever display is named (here one nobody
// serves, which the window could not open): the same file, the same exit codes.
TEST(VardaJobs, NoWindowRunsTheJobAsWithoutADisplay) {
    struct Display {
        explicit Display(const char* name) : name(name) {
            if (const char* value = getenv(name)) saved = value;
        }
        ~Display() {
            if (saved) {
                setenv(name, saved->c_str(), 1);
            } else {
                unsetenv(name);
            }
        }
        const char* name;
        std::optional<std::string> saved;
    } display("DISPLAY"), wayland("WAYLAND_DISPLAY");
    Workspace ws;
    SimProcess sim({"--model", "VK03", "--param", "FiLt:2=int=42", "--param", "FiLt:5=int=17"});
    const std::string port = "-port:" + sim.path();
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const testing::ProgramRun without = varda_run({"-read/close", port, ws.file("without.vdc")});
    setenv("DISPLAY", ":97", 1);
    const testing::ProgramRun no_window =
        varda_run({"-read/close", "--no-window", port, ws.file("no-window.vdc")});
    EXPECT_EQ(without.code, 0) << without.error_output;
    EXPECT_EQ(no_window.code, 0) << no_window.error_output;
    LoadedFile loaded(ws.file("no-window.vdc"));
    EXPECT_EQ(loaded.value("FiLt", 2), "42");
    EXPECT_EQ(loaded.value("FiLt", 5), "17");
    EXPECT_EQ(file_bytes(ws.file("no-window.vdc")), file_bytes(ws.file("without.vdc")));

    // A failing job fails alike: a file to write that is missing, a module that is not there.
    for (const std::vector<std::string>& job :
         {std::vector<std::string>{"-write/close", port, ws.file("missing.vdc")},
          std::vector<std::string>{"-read/close", "-port:/dev/null", ws.file("nothing.vdc")}}) {
        unsetenv("DISPLAY");
        const testing::ProgramRun headless = varda_run(job);
        setenv("DISPLAY", ":97", 1);
        std::vector<std::string> args = job;
        args.insert(args.begin(), "--no-window");
        const testing::ProgramRun forced = varda_run(args);
        EXPECT_NE(headless.code, 0) << job[0];
        EXPECT_EQ(forced.code, headless.code) << job[0];
        EXPECT_EQ(forced.error_output, headless.error_output);
    }

    // Without a job there is nothing to run; calibration needs the window.
    const testing::ProgramRun idle = varda_run({"--no-window", port});
    EXPECT_EQ(idle.code, 2);
    expect_one_line_about_failure(idle, "--no-window runs a job");
    const testing::ProgramRun calibrate = varda_run({"-calibrate", "--no-window", port});
    EXPECT_EQ(calibrate.code, 2);
    expect_one_line_about_failure(calibrate, "calibration needs the window");
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

TEST(VardaJobs, AValueThatCannotBeSentFailsTheWriteAndNothingOfItGoesOut) {
    Workspace ws;
    const std::string file = ws.file("plant.vdc");
    {
        SimProcess source({"--model", "VK03"});
        ASSERT_EQ(varda({"-read/close", "-port:" + source.path(), file}), 0);
    }
    int values = 0;
    {
        LoadedFile loaded(file);
        ASSERT_EQ(loaded.result.status, LoadStatus::Loaded);
        Parameter* edge = loaded.description.find_parameter("Cnt.E", 1);
        ASSERT_TRUE(edge);
        edge->SetValueText("Никогда");  // not among its items
        ASSERT_TRUE(save_configuration(file, kVk03, loaded.description.root()).ok);
        std::function<void(const DescBranch&)> count = [&](const DescBranch& branch) {
            for (const auto& p : branch.parameters)
                values += p->writable && !p->is_scanner();
            for (const auto& child : branch.children)
                count(*child);
        };
        count(*loaded.description.root());
    }
    const std::string log = ws.file("sim.log");
    const std::string errors = ws.file("errors.txt");
    SimProcess target({"--model", "VK03", "--log", log});
    const testing::ProgramRun run =
        varda_run({"-write/close", "-port:" + target.path(), "-elog:" + errors, "--summary", file});
    EXPECT_EQ(run.code, 200);
    // Its own outcome, not a file that cannot be used.
    expect_one_line_about_failure(
        run, ("plant.vdc: 1 of " + std::to_string(values) + " values could not be sent: Cnt.E:1\n").c_str());

    EXPECT_NE(file_bytes(errors).find("Cnt.E:1 - Bad value (data encoding impossible)\n"), std::string::npos);
    EXPECT_NE(run.output.find("failures: 1\n"), std::string::npos) << run.output;

    const auto frames = received_frames(log);
    ASSERT_FALSE(frames.empty());
    int neighbours = 0;
    for (const Bytes& frame : frames) {
        EXPECT_FALSE(concerns(frame, "Cnt.E", 1));
        neighbours += concerns(frame, "Cnt.E", 2);
    }
    EXPECT_GE(neighbours, 2);  // the next channel's attribute exchange and value went out
}

// A value outside what its parameter allows refuses the whole file, as the editor refuses it: nothing is
// written, and the line names the parameter, the value and what is allowed.
TEST(VardaJobs, WriteRefusesAFileWithAValueOutsideItsRange) {
    Workspace ws;
    const std::string file = ws.file("plant.vdc");
    {
        SimProcess source({"--model", "VK03"});
        ASSERT_EQ(varda({"-read/close", "-port:" + source.path(), file}), 0);
    }
    const std::string read = file_bytes(file);
    const struct {
        const char* name;
        int index;
        const char* value;
        const char* says;
    } cases[] = {
        {"FiLt", 2, "300", "plant.vdc: FiLt:2 = 300: outside its range 0 to 255; nothing was written"},
        {"t.out", 0, "256", "plant.vdc: t.out = 256: outside its range 0 to 255; nothing was written"},
        {"Addr", 0, "0", "plant.vdc: Addr = 0: outside its range 1 to 2036; nothing was written"},
        // Beyond 254 the 8-bit address length is refused with it.
        {"Addr", 0, "5000",
         "A.Len = 8: does not go with the module's address settings (an address above 255 "
         "needs 11-bit addresses and the Ravelin protocol); Addr = 5000: outside its range 1 "
         "to 2036; nothing was written"},
        {"Addr", 0, "255", "plant.vdc: Addr = 255: 255 is the broadcast address"},
        {"Addr", 0, "300", "; Addr = 300: does not go with the module's address settings"},
    };
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary) << read;
        {
            LoadedFile loaded(file);
            Parameter* p = loaded.description.find_parameter(c.name, c.index);
            ASSERT_TRUE(p) << c.name;
            p->SetValueText(c.value);
            ASSERT_TRUE(save_configuration(file, kVk03, loaded.description.root()).ok);
        }
        const std::string log = ws.file("sim.log");
        SimProcess sim({"--model", "VK03", "--log", log});
        const testing::ProgramRun run = varda_run({"-write/close/aply", "-port:" + sim.path(), file});
        EXPECT_EQ(run.code, 200) << c.name << " = " << c.value;
        expect_one_line_about_failure(run, c.says);
        EXPECT_LE(requests_received(log), 3) << c.name << " = " << c.value;  // identification, closing INIT
        EXPECT_EQ(module_value(sim, "Addr", -1), "16");
    }
}

// A file whose values are all "no data" has nothing to write; one with some writes the rest and says what
// it left out.
TEST(VardaJobs, NoDataIsNeverWrittenAndAFileOfNothingElseFails) {
    Workspace ws;
    const std::string empty = ws.file("empty.vdc");
    const std::string log = ws.file("sim.log");
    SimProcess sim({"--model", "VK03", "--log", log});
    ASSERT_EQ(varda({"-read/close", "-port:" + sim.path(), empty}), 0);
    {
        LoadedFile loaded(empty);
        std::function<void(DescBranch&)> clear = [&](DescBranch& branch) {
            for (const auto& p : branch.parameters)
                p->SetValueText(std::string(str(kNoData)));
            for (const auto& child : branch.children)
                clear(*child);
        };
        clear(*loaded.description.root());
        ASSERT_TRUE(save_configuration(empty, kVk03, loaded.description.root()).ok);
    }
    std::ofstream(log, std::ios::trunc).close();
    testing::ProgramRun run = varda_run({"-write/close", "-port:" + sim.path(), empty});
    EXPECT_EQ(run.code, 200);
    expect_one_line_about_failure(run, "empty.vdc: the file holds no value to write");
    EXPECT_LE(requests_received(log), 3);

    const std::string some = ws.file("some.vdc");
    ASSERT_EQ(varda({"-read/close", "-port:" + sim.path(), some}), 0);
    {
        LoadedFile loaded(some);
        loaded.description.find_parameter("FiLt", 1)->SetValueText(std::string(str(kNoData)));
        loaded.description.find_parameter("FiLt", 2)->SetValueText("42");
        ASSERT_TRUE(save_configuration(some, kVk03, loaded.description.root()).ok);
    }
    run = varda_run({"-write/close", "-port:" + sim.path(), some});
    EXPECT_EQ(run.code, 200);
    expect_one_line_about_failure(run, "values hold no data and were not written: FiLt:1\n");
    EXPECT_EQ(module_value(sim, "FiLt", 2), "42");
}

// A read that fails or is stopped never replaces a configuration with a part of one: the old file stays,
// and what was read goes beside it, named on standard error.
TEST(VardaJobs, AFailedReadKeepsTheOldFileAndSavesWhatItReadBesideIt) {
    const std::string old_contents = "the configuration saved last week";
    const struct {
        const char* what;
        std::vector<std::string> sim;
        bool old_file;
        bool stop;  // the exit event ends the read
        int code;
        const char* says;
    } cases[] = {
        {"module goes away, old file", {"--silent-after", "12"}, true, false, 202, " is left as it was\n"},
        {"module goes away, no file", {"--silent-after", "12"}, false, false, 202, " was not written\n"},
        {"read stopped", {"--script", "SCRIPT"}, true, true, 205, " is left as it was\n"},
    };
    for (const auto& c : cases) {
        Workspace ws;
        const std::string file = ws.file("plant.vdc");
        const std::string partial = ws.file("plant.partial.vdc");
        if (c.old_file) std::ofstream(file, std::ios::binary) << old_contents;
        std::vector<std::string> sim_args{"--model", "VK03"};
        for (std::string arg : c.sim) {
            if (arg == "SCRIPT") {
                arg = ws.file("slow.txt");
                std::ofstream(arg) << "delay 60\n";  // a read of about ten seconds
            }
            sim_args.push_back(arg);
        }
        SimProcess sim(sim_args);
        const std::string event = "/varda-e2e-stop-" + std::to_string(getpid());
        std::vector<std::string> args{"-read/close", "--summary", "-port:" + sim.path(), file};
        std::thread poster;
        if (c.stop) {
            args.push_back("-exitevent:" + event);
            poster = post_exit_event(event, std::chrono::milliseconds(1500));
        }
        const testing::ProgramRun run = varda_run(args);
        if (poster.joinable()) poster.join();
        if (c.stop) sem_unlink(event.c_str());
        EXPECT_EQ(run.code, c.code) << c.what;
        expect_one_line_about_failure(
            run, ("; what was read is saved in " + partial + ", " + file + c.says).c_str());
        if (c.old_file) {
            EXPECT_EQ(file_bytes(file), old_contents) << c.what;
        } else {
            EXPECT_FALSE(fs::exists(file)) << c.what;
        }
        EXPECT_NE(run.output.find("file: " + partial + "\n"), std::string::npos)
            << c.what << ": " << run.output;
        LoadedFile loaded(partial);
        EXPECT_EQ(loaded.result.status, LoadStatus::Loaded) << c.what;
        // A part: some values read, the rest no value at all.
        int read = 0;
        int unread = 0;
        std::function<void(const DescBranch&)> count = [&](const DescBranch& branch) {
            for (const auto& p : branch.parameters)
                (p->value_text() == str(kNoData) ? unread : read) += 1;
            for (const auto& child : branch.children)
                count(*child);
        };
        ASSERT_TRUE(loaded.description.root());
        count(*loaded.description.root());
        EXPECT_GT(read, 0) << c.what;
        EXPECT_GT(unread, 0) << c.what;
    }
}

// An output path is never dropped: without ".vdc", and with items of its own, it is where the read saves.
TEST(VardaJobs, AReadSavesToAPathWithoutTheExtension) {
    Workspace ws;
    fs::create_directories(ws.dir / "plant");
    const std::string file = (ws.dir / "plant" / "A").string();
    SimProcess sim({"--model", "VK03", "--param", "FiLt:2=int=42"});
    const testing::ProgramRun run = varda_run({"-read", "-close", "-port:" + sim.path(), file});
    EXPECT_EQ(run.code, 0) << run.error_output;
    EXPECT_EQ(run.error_output, "");
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(LoadedFile(file).value("FiLt", 2), "42");
}

}  // namespace
}  // namespace varda

namespace varda {
namespace {

TEST(VardaScan, ListsTheModulesThatAnswerAndFailsWhenNoneDoes) {
    SimProcess sim({"--model", "VK03", "--address", "5"});
    testing::ProgramRun run = varda_run({"--scan", "-port:" + sim.path(), "-addr:1-10"});
    EXPECT_EQ(run.code, 0) << run.error_output;
    EXPECT_EQ(run.output, "address 5 at 9600 baud: Tavik-VK03, version 2.10 (also at 6-10)\n");
    expect_one_line_about_failure(run);

    run = varda_run({"--scan", "-port:" + sim.path(), "-addr:4-6", "--json"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(
        run.output,
        "[\n  {\"address\": 5, \"baud\": 9600, \"model\": \"Tavik-VK03\", \"identification\": \"vk03-dev\", "
        "\"version\": \"2.10\", \"last_address\": 6}\n]\n");

    run = varda_run({"--scan", "-port:" + sim.path(), "-addr:20-24", "-bps:9600,19200"});
    EXPECT_EQ(run.code, 202);
    EXPECT_EQ(run.output, "");
    expect_one_line_about_failure(run, "no module answered");

    run = varda_run({"--scan", "-port:" + sim.path(), "-alen:11"});
    EXPECT_EQ(run.code, 2);
    expect_one_line_about_failure(run, "an 11-bit scan needs an address range");
    run = varda_run({"--scan", "-port:" + sim.path(), "-bps:9600,abc"});
    EXPECT_EQ(run.code, 2);
    expect_one_line_about_failure(run, "is not a baud rate");
}

// Three modules on one line: the scan finds each, and a job reaches the one its address names.
TEST(VardaScan, FindsEveryModuleOfABusAndAJobReachesEachByAddress) {
    Workspace ws;
    SimProcess sim({"--bus", "VK03@1,VK18@20,VK13@30"});
    testing::ProgramRun run = varda_run({"--scan", "-port:" + sim.path(), "-addr:1-40"});
    EXPECT_EQ(run.code, 0) << run.error_output;
    EXPECT_EQ(run.output,
              "address 1 at 9600 baud: Tavik-VK03, version 2.10 (also at 2-8)\n"
              "address 20 at 9600 baud: Tavik-VK18, version 2.10\n"
              "address 30 at 9600 baud: Tavik-VK13, version 2.10\n");
    for (const auto& [address, model] :
         {std::pair{"20", "Tavik-VK18"}, std::pair{"30", "Tavik-VK13"}, std::pair{"1", "Tavik-VK03"}}) {
        run = varda_run({"-read/close", "--summary", "-port:" + sim.path(), std::string("-addr:") + address,
                         ws.file("bus.vdc")});
        EXPECT_EQ(run.code, 0) << address << ": " << run.error_output;
        EXPECT_EQ(run.output.rfind(std::string("model: ") + model + "\n", 0), 0u) << run.output;
    }
}

}  // namespace
}  // namespace varda

namespace varda {
namespace {

// Lines of `varda --scan` output: the address each names.
std::vector<int> listed_addresses(const std::string& output) {
    std::vector<int> addresses;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        addresses.push_back(std::atoi(line.c_str() + 8));
    return addresses;
}

// Replies that come late, as through a USB adapter or a module's own response delay, with the line's
// own timing: each module is listed at its own address and nowhere else. The thorough scan finds all.
TEST(VardaScan, LateRepliesAreListedAtTheAddressThatAnswered) {
    {
        SimProcess sim({"--bus", "VK03@1,VK18@20,VK13@30", "--line-timing"});
        const testing::ProgramRun run = varda_run({"--scan", "-port:" + sim.path(), "-addr:1-32"});
        EXPECT_EQ(run.code, 0) << run.error_output;
        EXPECT_EQ(run.output,
                  "address 1 at 9600 baud: Tavik-VK03, version 2.10 (also at 2-8)\n"
                  "address 20 at 9600 baud: Tavik-VK18, version 2.10\n"
                  "address 30 at 9600 baud: Tavik-VK13, version 2.10\n");
    }
    SimProcess sim({"--bus", "VK18@16,VK18@17+25ms,VK18@18+100ms,VK18@19+200ms", "--line-timing"});
    testing::ProgramRun run = varda_run({"--scan:thorough", "-port:" + sim.path(), "-addr:15-20"});
    EXPECT_EQ(run.code, 0) << run.error_output;
    std::string all;
    for (const int address : {16, 17, 18, 19})
        all += "address " + std::to_string(address) + " at 9600 baud: Tavik-VK18, version 2.10\n";
    EXPECT_EQ(run.output, all);
    // The quick scan may miss one whose late reply met the next request, but lists no wrong address.
    run = varda_run({"--scan", "-port:" + sim.path(), "-addr:15-20"});
    EXPECT_EQ(run.code, 0) << run.error_output;
    std::vector<int> addresses = listed_addresses(run.output);
    EXPECT_TRUE(std::is_sorted(addresses.begin(), addresses.end()));
    EXPECT_EQ(std::adjacent_find(addresses.begin(), addresses.end()), addresses.end()) << run.output;
    for (const int address : addresses)
        EXPECT_NE(
            all.find("address " + std::to_string(address) + " at 9600 baud: Tavik-VK18, version 2.10\n"),
            std::string::npos)
            << run.output;
    EXPECT_EQ(run.output.find("could not be read"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace varda

namespace varda {
namespace {

TEST(VardaTrace, AJobWritesEveryFrameDecodedAndTheLinesCounters) {
    Workspace ws;
    SimProcess sim({"--model", "VK03", "--silent-first", "1"});
    const std::string trace = ws.file("job.trace");
    testing::ProgramRun run =
        varda_run({"-read/close", "-port:" + sim.path(), "--trace:" + trace, ws.file("plant.vdc")});
    EXPECT_EQ(run.code, 0) << run.error_output;
    const std::string text = file_bytes(trace);
    // The first request went unanswered and was sent again.
    EXPECT_EQ(text.rfind("0.000 TX addr=16 dev read bytes=#", 0), 0u) << text.substr(0, 200);
    EXPECT_NE(text.find(" RX dev error=\"time-out\" reply="), std::string::npos);
    EXPECT_NE(text.find(" RX addr=16 FiLt:2 value=\"10\" reply="), std::string::npos);
    EXPECT_NE(text.find(" TX addr=16 INIT read"), std::string::npos);

    // The line's counters: in the summary, and as JSON in a file of their own.
    const std::string stats = ws.file("line.json");
    run = varda_run(
        {"-read/close", "--summary", "-port:" + sim.path(), "--stats:json:" + stats, ws.file("c.vdc")});
    EXPECT_EQ(run.code, 0) << run.error_output;
    EXPECT_NE(run.output.find("\nline: requests "), std::string::npos) << run.output;
    const std::string json = file_bytes(stats);
    EXPECT_EQ(json.rfind("{\"requests\": ", 0), 0u) << json;
    EXPECT_NE(json.find("\"timeouts\": 0,"), std::string::npos) << json;  // the module was up by then

    run = varda_run(
        {"-read/close", "-port:" + sim.path(), "--trace:" + ws.file("no/such/dir/t"), ws.file("b.vdc")});
    EXPECT_EQ(run.code, 2);
    expect_one_line_about_failure(run, "the trace file cannot be written");
}

// An 11-bit address whose low three bits are 0 looks like an 8-bit one on the wire: the trace shows the
// address in use, whole, on every frame.
TEST(VardaTrace, ElevenBitAddressesAreShownWhole) {
    Workspace ws;
    SimProcess sim({"--model", "VK03", "--width", "11", "--address", "1000"});
    const std::string trace = ws.file("job.trace");
    const testing::ProgramRun run = varda_run({"-read/close", "-alen:11", "-addr:1000", "-port:" + sim.path(),
                                               "--trace:" + trace, ws.file("plant.vdc")});
    EXPECT_EQ(run.code, 0) << run.error_output;
    std::istringstream in(file_bytes(trace));
    int frames = 0;
    for (std::string line; std::getline(in, line); ++frames)
        EXPECT_NE(line.find(" addr=1000 "), std::string::npos) << line;
    EXPECT_GT(frames, 20);
}

}  // namespace
}  // namespace varda

namespace varda {
namespace {

// Configurations kept as text: export, edit, import, and diff with diff's exit codes.
TEST(VardaText, ExportImportAndDiffWithoutAPort) {
    Workspace ws;
    const std::string a = ws.file("a.vdc");
    {
        SimProcess sim({"--model", "VK03"});
        ASSERT_EQ(varda({"-read/close", "-port:" + sim.path(), a}), 0);
    }
    testing::ProgramRun run = varda_run({"--export:json", a});
    ASSERT_EQ(run.code, 0) << run.error_output;
    std::string json = run.output;
    const std::string from = "\"name\": \"FiLt\", \"index\": 2, ";
    const auto at = json.find(from);
    ASSERT_NE(at, std::string::npos);
    const auto value_at = json.find("\"value\": \"10\"", at);
    ASSERT_NE(value_at, std::string::npos);
    json.replace(value_at, 13, "\"value\": \"42\"");
    std::ofstream(ws.file("b.json")) << json;

    const std::string b = ws.file("b.vdc");
    run = varda_run({"--import:json", ws.file("b.json"), b});
    EXPECT_EQ(run.code, 0) << run.error_output;
    run = varda_run({"--diff", a, b});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.output, "Вход 3/FiLt:2: 10 -> 42\n");
    EXPECT_EQ(varda_run({"--diff", a, a}).code, 0);
    run = varda_run({"--diff", a, ws.file("missing.vdc")});
    EXPECT_EQ(run.code, 2);
    expect_one_line_about_failure(run, "missing.vdc");

    run = varda_run({"--export:csv", "--changed", b});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.output,
              "path,name,index,description,type,value,default,differs_from_default,access,user\n"
              "Вход 3,FiLt,2,\"Время подавления дребезга, мс\",int,42,10,yes,read/write,unknown\n");
    EXPECT_EQ(varda_run({"--export:xml", a}).code, 2);

    // The export unchanged makes the very file it came from, Prot of the module's version 2.10 included.
    run = varda_run({"--export:json", a});
    ASSERT_EQ(run.code, 0) << run.error_output;
    EXPECT_NE(run.output.find("\"name\": \"Prot\""), std::string::npos);
    std::ofstream(ws.file("a.json")) << run.output;
    const std::string c = ws.file("c.vdc");
    run = varda_run({"--import:json", ws.file("a.json"), c});
    EXPECT_EQ(run.code, 0) << run.error_output;
    run = varda_run({"--diff", a, c});
    EXPECT_EQ(run.code, 0) << run.output;

    // A refused record writes nothing, names the record and exits 2.
    std::string refused = json;
    refused.replace(json.find(from), from.size(), "\"name\": \"FiLt\", \"index\": 1.9, ");
    std::ofstream(ws.file("refused.json")) << refused;
    run = varda_run({"--import:json", ws.file("refused.json"), ws.file("refused.vdc")});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.error_output.find("\"index\" is 1.9, not a whole number from 0 to 65535"),
              std::string::npos)
        << run.error_output;
    EXPECT_FALSE(std::filesystem::exists(ws.file("refused.vdc")));
}

}  // namespace
}  // namespace varda

namespace varda {
namespace {

TEST(VardaGateway, ReadsThroughRawTcpAndRfc2217WhichSetsTheBaudRate) {
    if (!fs::exists("/usr/sbin/ser2net"))
        GTEST_SKIP() << "ser2net is not installed (scripts/install-deps.sh)";
    Workspace ws;
    // The module hears only 19200 baud; the gateway's own setting is 9600.
    SimProcess sim({"--model", "VK03", "--listen-baud", "19200"});
    Gateway gateway(sim.path(), ws.dir.string());
    ASSERT_GT(gateway.pid, 0);
    const std::string raw = "tcp://127.0.0.1:" + std::to_string(gateway.raw_port);
    const std::string rfc = "rfc2217://127.0.0.1:" + std::to_string(gateway.rfc_port);

    // RFC 2217 carries the baud rate to the line: the module hears the frames.
    testing::ProgramRun run =
        varda_run({"-read/close", "-bps:19200", "--summary", "-port:" + rfc, ws.file("a.vdc")});
    EXPECT_EQ(run.code, 0) << run.error_output;
    EXPECT_EQ(run.output.rfind("model: Tavik-VK03\n", 0), 0u) << run.output;
    // A raw gateway keeps its own 9600: the module hears garbage and the job says so.
    run = varda_run({"-read/close", "-bps:19200", "-port:" + raw, ws.file("b.vdc")});
    EXPECT_EQ(run.code, 202);
    expect_one_line_about_failure(run, "did not answer");
    // Semi-automatic direction control makes no sense through a gateway.
    run = varda_run({"-read/close", "-rs485:on", "-port:" + raw, ws.file("c.vdc")});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.error_output.find("cannot be used over a network gateway"), std::string::npos);
}

TEST(VardaGateway, ReadsThroughARawGateway) {
    if (!fs::exists("/usr/sbin/ser2net"))
        GTEST_SKIP() << "ser2net is not installed (scripts/install-deps.sh)";
    Workspace ws;
    SimProcess sim({"--model", "VK03"});
    Gateway gateway(sim.path(), ws.dir.string());
    ASSERT_GT(gateway.pid, 0);
    const testing::ProgramRun run = varda_run(
        {"-read/close", "-port:tcp://127.0.0.1:" + std::to_string(gateway.raw_port), ws.file("a.vdc")});
    EXPECT_EQ(run.code, 0) << run.error_output;
    EXPECT_EQ(LoadedFile(ws.file("a.vdc")).value("FiLt", 2), "10");
}

}  // namespace
}  // namespace varda
