// ReadRegularFile on POSIX systems: the name is checked before it is opened
// (opening a FIFO waits for a writer, opening a tape device may rewind it),
// then the open file is checked again, should the name have changed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "standin/file_read.h"

namespace standin {
namespace {

using Kind = FileReadFailure::Kind;

bool Refuse(FileReadFailure& failure, Kind kind, std::string systemText = {},
            std::uint64_t size = 0) {
    failure = FileReadFailure{kind, std::move(systemText), size};
    return false;
}

/// False, with `failure` set, unless `info` describes a regular file within `limit`.
bool CheckKind(const struct stat& info, std::uint64_t limit, FileReadFailure& failure) {
    if (S_ISDIR(info.st_mode)) return Refuse(failure, Kind::kDirectory);
    if (!S_ISREG(info.st_mode)) return Refuse(failure, Kind::kNotRegular);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > limit) return Refuse(failure, Kind::kTooLarge, {}, size);
    return true;
}

}  // namespace

bool ReadRegularFile(const std::filesystem::path& path, std::uint64_t limit,
                     std::vector<std::uint8_t>& bytes, FileReadFailure& failure,
                     FileIdentity* identity) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return Refuse(failure, errno == ENOENT ? Kind::kNotFound : Kind::kCannotOpen,
                      std::strerror(errno));
    }
    if (!CheckKind(info, limit, failure)) return false;
    // Non-blocking, should the name have become a FIFO since.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Refuse(failure, Kind::kCannotOpen, std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &info) != 0) return Refuse(failure, Kind::kCannotOpen, std::strerror(errno));
    if (!CheckKind(info, limit, failure)) return false;

    std::vector<std::uint8_t> read(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == read.size()) {
            if (got > limit) return Refuse(failure, Kind::kTooLarge, {}, got);
            read.resize(std::min<std::uint64_t>(limit + 1, 2 * read.size()));
        }
        const ssize_t n = ::read(fd, read.data() + got, read.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Refuse(failure, Kind::kCannotRead, std::strerror(errno));
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    read.resize(got);
    bytes = std::move(read);
    if (identity != nullptr) {
        *identity = {static_cast<std::uint64_t>(info.st_dev),
                     static_cast<std::uint64_t>(info.st_ino)};
    }
    return true;
}

}  // namespace standin
