// POSIX files for atomic saving: open(O_EXCL), write, fsync, close; the
// checks of who may replace what; removal of temporaries on a signal.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "file_sink_platform.h"
#include "platform/atomic_file.h"

namespace standin {
namespace {

std::string errnoText(int code) { return std::strerror(code); }

class FileSink final : public ByteSink {
public:
    explicit FileSink(int fd) : fd_(fd) {}
    ~FileSink() override {
        if (fd_ >= 0) ::close(fd_);
    }
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool Write(std::span<const std::uint8_t> bytes, std::string& error) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t count = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (count < 0) {
                if (errno == EINTR) continue;
                error = errnoText(errno);
                return false;
            }
            done += static_cast<std::size_t>(count);
        }
        return true;
    }

    bool Commit(std::string& error) override {
        if (stream_) return CloseChecked(error);
        int result;
        do {
            result = ::fsync(fd_);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            error = "fsync: " + errnoText(errno);
            return false;
        }
        return CloseChecked(error);
    }

    void SetStream() { stream_ = true; }

private:
    bool CloseChecked(std::string& error) {
        // close() can report a deferred write error (e.g. on network file
        // systems); the descriptor is gone either way.
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            error = "close: " + errnoText(errno);
            return false;
        }
        return true;
    }

    int fd_;
    bool stream_ = false;
};

// Paths to remove when a signal ends the process. Each slot is claimed with
// an atomic flag and its name filled before it is marked ready, so that the
// handler only ever reads complete names.
struct WatchedPath {
    std::atomic<int> state{0};  // 0 free, 1 being filled or emptied, 2 ready
    char name[4096];
};
std::array<WatchedPath, 8> watched;

extern "C" void removeWatchedAndDie(int signal) {
    // A name already renamed away fails to unlink; the interrupted code must
    // not see that failure in errno should the signal come back to it (as
    // ThreadSanitizer lets it, and reports).
    const int interruptedErrno = errno;
    for (WatchedPath& slot : watched) {
        if (slot.state.load() == 2) ::unlink(slot.name);
    }
    errno = interruptedErrno;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void installSignalCleanup() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true)) return;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0) continue;
        // An ignored signal (nohup) stays ignored; a handler of the program's
        // own stays in charge.
        if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction cleanup {};
        cleanup.sa_handler = removeWatchedAndDie;
        sigemptyset(&cleanup.sa_mask);
        ::sigaction(signal, &cleanup, nullptr);
    }
}

}  // namespace

std::unique_ptr<ByteSink> OpenFileSink(const std::filesystem::path& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = errnoText(errno);
        return nullptr;
    }
    return std::make_unique<FileSink>(fd);
}

std::unique_ptr<ByteSink> OpenStreamSink(const std::filesystem::path& path, std::string& error) {
    // Without O_NONBLOCK a FIFO nobody reads would hold the open forever; with
    // it, the open fails at once and says so.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ENXIO ? "nothing reads from the pipe" : errnoText(errno);
        return nullptr;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !(S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode))) {
        ::close(fd);
        error = "it is no longer a pipe or character device";
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto sink = std::make_unique<FileSink>(fd);
    sink->SetStream();
    return sink;
}

namespace detail {

// Devices and FIFOs are in folders here: the file system's status sees them.
std::filesystem::file_type StreamTargetType(const std::filesystem::path& /*path*/) {
    return std::filesystem::file_type::none;
}

std::uintmax_t HardLinkCount(const std::filesystem::path& path) {
    std::error_code code;
    const std::uintmax_t names = std::filesystem::hard_link_count(path, code);
    return code ? 1 : names;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

bool AlreadyExists(const std::filesystem::path& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

void CopyPermissions(const std::filesystem::path& from, const std::filesystem::path& to) {
    struct stat info;
    if (::stat(from.c_str(), &info) != 0) return;
    // Owner first: changing it clears set-user-ID bits that chmod then restores.
    // Only an administrator may give a file away; anyone may keep the group
    // when they belong to it.
    if (::chown(to.c_str(), info.st_uid, info.st_gid) != 0) {
        (void)::chown(to.c_str(), static_cast<uid_t>(-1), info.st_gid);
    }
    ::chmod(to.c_str(), info.st_mode & 07777);
}

bool MayWrite(const std::filesystem::path& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return true;  // nothing there to keep
    if (::geteuid() == 0) return (info.st_mode & 0222) != 0;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool MayRemoveEntry(const std::filesystem::path& path) {
    const std::filesystem::path parent = path.parent_path().empty() ? "." : path.parent_path();
    struct stat entry, directory;
    if (::lstat(path.c_str(), &entry) != 0 || ::stat(parent.c_str(), &directory) != 0) {
        return false;
    }
    if (::faccessat(AT_FDCWD, parent.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return false;
    if ((directory.st_mode & S_ISVTX) == 0) return true;
    const uid_t user = ::geteuid();
    return user == 0 || user == entry.st_uid || user == directory.st_uid;
}

void RemoveOnSignal(const std::filesystem::path& path) {
    const std::string& name = path.native();
    if (name.size() >= sizeof watched[0].name) return;
    installSignalCleanup();
    for (WatchedPath& slot : watched) {
        int free = 0;
        if (!slot.state.compare_exchange_strong(free, 1)) continue;
        std::memcpy(slot.name, name.c_str(), name.size() + 1);
        slot.state.store(2);
        return;
    }
}

void ForgetOnSignal(const std::filesystem::path& path) {
    for (WatchedPath& slot : watched) {
        int ready = 2;
        if (slot.state.load() == 2 && slot.name == path.native() &&
            slot.state.compare_exchange_strong(ready, 1)) {
            slot.state.store(0);
            return;
        }
    }
}

std::size_t LongestFileName(const std::filesystem::path& directory) {
    const std::filesystem::path path = directory.empty() ? "." : directory;
    const long longest = ::pathconf(path.c_str(), _PC_NAME_MAX);
    return longest > 0 ? static_cast<std::size_t>(longest) : 255;  // NAME_MAX of most systems
}

const char* const kFileNameUnits = "bytes";

// The file system's status sees links here: atomic_file.cpp follows them itself.
std::filesystem::path LinkedFile(const std::filesystem::path& target, bool& throughLink) {
    throughLink = false;
    return target;
}

bool RenameOver(const std::filesystem::path& temporary, const std::filesystem::path& target,
                std::string& error) {
    std::error_code renameError;
    std::filesystem::rename(temporary, target, renameError);
    if (renameError) error = renameError.message();
    return !renameError;
}

void SyncDirectory(const std::filesystem::path& directory) {
    const std::filesystem::path path = directory.empty() ? "." : directory;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace detail
}  // namespace standin
