#include "tools/scene_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tools/errors.h"

namespace nacrelle::tools {

namespace {

std::string quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

}  // namespace

SceneLock::SceneLock(const std::filesystem::path& path, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    // A save replaces the file by a new one: a lock won on the replaced file
    // guards nothing, so lock again until the name still leads to the locked
    // file.
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            throw Failure("cannot open the scene " + quoted(path) + ": " + std::strerror(errno));
        }
        struct stat locked;
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
            ::close(fd);
            throw Failure("cannot open the scene " + quoted(path) + ": " +
                          (S_ISDIR(locked.st_mode) ? "it is a directory" : "not a regular file"));
        }
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                const int code = errno;
                ::close(fd);
                throw Failure("cannot lock the scene " + quoted(path) + ": " +
                              std::strerror(code));
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ::close(fd);
                char seconds[32];
                std::snprintf(seconds, sizeof seconds, "%g", wait.count() / 1000.0);
                throw Failure("the scene " + quoted(path) + " is being changed by another " +
                              "program, which still holds it after " + seconds + " s; try " +
                              "again later ($NACRELLE_LOCK_WAIT sets the wait in seconds)");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        struct stat current;
        if (::stat(path.c_str(), &current) == 0 && current.st_dev == locked.st_dev &&
            current.st_ino == locked.st_ino) {
            fd_ = fd;
            return;
        }
        ::close(fd);
    }
}

SceneLock::~SceneLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

std::chrono::milliseconds sceneLockWait() {
    constexpr std::chrono::milliseconds kDefault{10000};
    const char* text = std::getenv("NACRELLE_LOCK_WAIT");
    if (text == nullptr || *text == '\0') return kDefault;
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (*end != '\0' || !(seconds >= 0.0 && seconds <= 86400.0)) {
        throw UsageError("$NACRELLE_LOCK_WAIT \"" + std::string(text) +
                         "\" is not a number of seconds between 0 and 86400");
    }
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
}

}  // namespace nacrelle::tools
