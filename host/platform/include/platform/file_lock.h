// An exclusive advisory lock on a file, held from one attempt that wins it
// until the lock object ends: flock on POSIX systems, a named mutex for the
// file's path on Windows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace standin {

enum class LockAttempt {
    Locked,    ///< held now, on the file the name leads to
    Busy,      ///< another holds it; try again later
    Replaced,  ///< won on a file that a save replaced meanwhile; try again (POSIX)
    Failed,    ///< cannot be locked at all (error says why)
};

class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    /// One attempt to lock the existing regular file `path`, without waiting.
    LockAttempt TryLock(const std::filesystem::path& path, std::string& error);

private:
    void Release();
    std::intptr_t handle_ = -1;
};

}  // namespace standin
