// The real varda program with a damaged description archive beside it, against varda-sim.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "core/model/description_archive.h"
#include "tests/support/sim_process.h"

namespace varda {
namespace {

namespace fs = std::filesystem;

// Runs a program with its standard error going to a file; returns the exit code, or -1 when it did not exit
// normally or had to be killed after a generous time.
int run_with_stderr(const std::string& program, std::vector<std::string> args,
                    const std::string& stderr_path) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderr_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned) return -1;
    int status = 0;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > give_up) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(DamagedDescription, AHugeBranchEndsAReadJobWithAReason) {
    const fs::path dir = fs::temp_directory_path() / ("varda-e2e-damaged-" + std::to_string(getpid()));
    fs::create_directories(dir);
    // varda takes the varda.dat beside it: a copy of the program beside a damaged archive.
    const fs::path program = dir / "varda";
    fs::copy_file(VARDA_PATH, program, fs::copy_options::overwrite_existing);
    fs::copy_file(VARDA_DAT_PATH, dir / "varda.dat", fs::copy_options::overwrite_existing);
    {
        DescriptionArchive archive((dir / "varda.dat").string(), false);
        std::string text;
        ASSERT_GT(archive.ReadMember("vk03.tree", text), 0u);
        // The inputs' branch declares two thousand million copies instead of IN.
        const std::size_t at = text.find(" IN 3 3 ");
        ASSERT_NE(at, std::string::npos);
        text.replace(at, 8, " 2000000000 3 3 ");
        ASSERT_TRUE(archive.AddMemberBytes("vk03.tree", text)) << archive.failure_message();
    }

    testing::SimProcess sim({"--model", "VK03", "--archive", VARDA_DAT_PATH});
    const fs::path config = dir / "config";
    fs::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string errors = (dir / "stderr.txt").string();
    const std::string file = (dir / "plant.vdc").string();
    // Before the loader had limits this run took eleven minutes.
    const int code = run_with_stderr(program.string(), {"-read/close", "-port:" + sim.path(), file}, errors);

    std::ifstream in(errors);
    const std::string said((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(code, 0);
    EXPECT_NE(said.find("varda: "), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(file));  // nothing of a part of the tree was saved
    fs::remove_all(dir);
}

}  // namespace
}  // namespace varda
