// File locks on POSIX systems: flock on an open descriptor.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_lock.h"

namespace standin {

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));  // closing releases the lock
    handle_ = -1;
}

LockAttempt FileLock::TryLock(const std::filesystem::path& path, std::string& error) {
    Release();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return LockAttempt::Failed;
    }
    struct stat locked;
    if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
        ::close(fd);
        error = S_ISDIR(locked.st_mode) ? "it is a directory" : "not a regular file";
        return LockAttempt::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        ::close(fd);
        if (code == EWOULDBLOCK || code == EINTR) return LockAttempt::Busy;
        error = std::strerror(code);
        return LockAttempt::Failed;
    }
    // A save replaces the file by a new one: a lock won on the replaced file
    // guards nothing.
    struct stat current;
    if (::stat(path.c_str(), &current) != 0 || current.st_dev != locked.st_dev ||
        current.st_ino != locked.st_ino) {
        ::close(fd);
        return LockAttempt::Replaced;
    }
    handle_ = fd;
    return LockAttempt::Locked;
}

}  // namespace standin
