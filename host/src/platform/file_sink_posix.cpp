// POSIX files for atomic saving: open(O_EXCL), write, fsync, close.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file_sink_platform.h"
#include "standin/atomic_file.h"

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
        int result;
        do {
            result = ::fsync(fd_);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            error = "fsync: " + errnoText(errno);
            return false;
        }
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

private:
    int fd_;
};

}  // namespace

std::unique_ptr<ByteSink> OpenFileSink(const std::filesystem::path& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = errnoText(errno);
        return nullptr;
    }
    return std::make_unique<FileSink>(fd);
}

namespace detail {

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

bool AlreadyExists(const std::filesystem::path& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

void CopyPermissions(const std::filesystem::path& from, const std::filesystem::path& to) {
    struct stat info;
    if (::stat(from.c_str(), &info) != 0) return;
    ::chmod(to.c_str(), info.st_mode & 07777);
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
