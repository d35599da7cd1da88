#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace varda::testing {

// Debian's ser2net bridging TCP to the simulator's terminal: raw on one port, RFC 2217 on another.
struct Gateway {
    Gateway(const std::string& device, const std::string& folder) {
        raw_port = 20000 + getpid() % 20000;
        rfc_port = raw_port + 1;
        const std::string config = folder + "/ser2net.yaml";
        std::ofstream(config) << "%YAML 1.1\n---\n"
                              << "connection: &raw\n  accepter: tcp,127.0.0.1," << raw_port
                              << "\n  connector: serialdev," << device << ",9600n81,local\n"
                              << "connection: &rfc\n  accepter: telnet(rfc2217),tcp,127.0.0.1," << rfc_port
                              << "\n  connector: serialdev," << device << ",9600n81,local\n";
        std::vector<std::string> args = {"/usr/sbin/ser2net",    "-n", "-c", config, "-P",
                                         folder + "/ser2net.pid"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        // Ready once both ports accept.
        for (int tries = 0; pid > 0 && tries < 100 && !(accepts(raw_port) && accepts(rfc_port)); ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~Gateway() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    static bool accepts(int port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        return ok;
    }
    pid_t pid = -1;
    int raw_port = 0;
    int rfc_port = 0;
};

}  // namespace varda::testing
