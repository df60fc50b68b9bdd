// The desktop on POSIX systems: xdg-open for pages, /dev/null for closed
// standard streams.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/desktop.h"

extern char** environ;

namespace standin {

std::string OpenInBrowser(const std::string& address) {
    constexpr auto kPatience = std::chrono::seconds(5);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The opener's own chatter would mix with the program's output.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "xdg-open";
    std::string argument = address;
    std::vector<char*> argv{program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    const int started =
        ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return "cannot start xdg-open: " + std::string(std::strerror(started));

    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return "";
        if (std::chrono::steady_clock::now() >= deadline) return "";  // left to run on
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return "xdg-open is not installed";
    return WIFEXITED(status)
               ? "xdg-open failed with exit code " + std::to_string(WEXITSTATUS(status))
               : "xdg-open ended by signal " + std::to_string(WTERMSIG(status));
}

void GuardStandardStreams() {
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", O_RDONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

std::vector<int> StopSignals() { return {SIGINT, SIGTERM, SIGHUP, SIGQUIT}; }

void MakeStandardOutputBinary() {}  // POSIX streams never translate

}  // namespace standin
