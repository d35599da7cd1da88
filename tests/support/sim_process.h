#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace varda::testing {

// The real varda-sim binary serving a module on a pseudo-terminal, for the duration of a test.
class SimProcess {
  public:
    explicit SimProcess(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) return;
        args.insert(args.begin(), VARDA_SIM_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        // The first line is the terminal's path.
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            path_.push_back(c);
        close(out[0]);
    }
    ~SimProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& path() const { return path_; }
    bool running() const { return pid_ > 0; }

    // Ends the process with SIGTERM; returns its exit status (-1 when it did not exit normally).
    int terminate() {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    std::string path_;
};

}  // namespace varda::testing

namespace varda::testing {

// Runs a program to its end and returns its exit code (-1 when it did not exit normally); what it wrote
// on standard error goes to `error_output` when one is given.
inline int run_program(const std::string& program, std::vector<std::string> args,
                       std::string* error_output = nullptr) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int err[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (error_output && pipe(err) == 0) {
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, err[0]);
    }
    pid_t pid = -1;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (err[1] >= 0) close(err[1]);
    if (err[0] >= 0) {
        char buffer[256];
        ssize_t n;
        while ((n = read(err[0], buffer, sizeof buffer)) > 0)
            error_output->append(buffer, static_cast<std::size_t>(n));
        close(err[0]);
    }
    if (!spawned) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace varda::testing
