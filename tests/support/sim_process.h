#pragma once

#include <fcntl.h>

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
        // The simulator reads console commands on its standard input: a test gives it none.
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
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

// Runs a program to its end and returns its exit code (-1 when it did not exit normally).
inline int run_program(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A program's exit code (-1 when it did not exit normally) and what it wrote.
struct ProgramRun {
    int code = -1;
    std::string output;        // standard output
    std::string error_output;  // standard error
};

// Runs a program to its end, collecting what it writes (a few pages at most: standard error is read first).
inline ProgramRun run_program_capturing(const std::string& program, std::vector<std::string> args) {
    ProgramRun run;
    int out[2];
    int err[2];
    if (pipe(out) != 0) return run;
    if (pipe(err) != 0) {
        close(out[0]);
        close(out[1]);
        return run;
    }
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    pid_t pid = -1;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    auto drain = [](int fd, std::string& into) {
        char buffer[4096];
        for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
            into.append(buffer, static_cast<std::size_t>(got));
        close(fd);
    };
    drain(err[0], run.error_output);
    drain(out[0], run.output);
    if (!spawned) return run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace varda::testing
