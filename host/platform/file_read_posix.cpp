// ReadRegularFile on POSIX systems: the name is checked before it is opened
// (opening a FIFO waits for a writer, opening a tape device may rewind it),
// then the open file is checked again, should the name have changed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file_read_steps.h"

namespace standin {
namespace {

using Kind = FileReadFailure::Kind;
using detail::RefuseRead;

/// False, with `failure` set, unless `info` describes a regular file within `limit`.
bool CheckKind(const struct stat& info, std::uint64_t limit, FileReadFailure& failure) {
    if (S_ISDIR(info.st_mode)) return RefuseRead(failure, Kind::kDirectory);
    if (!S_ISREG(info.st_mode)) return RefuseRead(failure, Kind::kNotRegular);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > limit) return RefuseRead(failure, Kind::kTooLarge, {}, size);
    return true;
}

}  // namespace

bool ReadRegularFile(const std::filesystem::path& path, std::uint64_t limit,
                     std::vector<std::uint8_t>& bytes, FileReadFailure& failure,
                     FileIdentity* identity) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return RefuseRead(failure, errno == ENOENT ? Kind::kNotFound : Kind::kCannotOpen,
                      std::strerror(errno));
    }
    if (!CheckKind(info, limit, failure)) return false;
    // Non-blocking, should the name have become a FIFO since.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return RefuseRead(failure, Kind::kCannotOpen, std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &info) != 0) return RefuseRead(failure, Kind::kCannotOpen, std::strerror(errno));
    if (!CheckKind(info, limit, failure)) return false;

    const auto readSome = [fd](std::uint8_t* into, std::size_t count, std::string& error) {
        for (;;) {
            const ssize_t n = ::read(fd, into, count);
            if (n >= 0) return static_cast<long long>(n);
            if (errno != EINTR) {
                error = std::strerror(errno);
                return -1LL;
            }
        }
    };
    if (!detail::ReadToEnd(static_cast<std::uint64_t>(info.st_size), limit, readSome, bytes,
                           failure)) {
        return false;
    }
    if (identity != nullptr) {
        *identity = {static_cast<std::uint64_t>(info.st_dev),
                     static_cast<std::uint64_t>(info.st_ino)};
    }
    return true;
}

std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace standin
