// File locks on Windows: LockFileEx on a byte far past the end of the file.
// Windows locks are mandatory for the bytes they cover, so locking the data
// itself would stop every reader, the lock holder's own included.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "standin/file_lock.h"
#include "windows_error.h"

namespace standin {
namespace {

constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

HANDLE openShared(const std::filesystem::path& path, DWORD access) {
    // Shared for deletion too: a save may replace the file while it is locked.
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool sameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

}  // namespace

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));  // releases the lock
    handle_ = -1;
}

LockAttempt FileLock::TryLock(const std::filesystem::path& path, std::string& error) {
    Release();
    const HANDLE file = openShared(path, GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        const DWORD attributes = GetFileAttributesW(path.c_str());
        error = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                    ? "it is a directory"
                    : detail::SystemErrorText(code);
        return LockAttempt::Failed;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        error = "not a regular file";
        return LockAttempt::Failed;
    }
    OVERLAPPED where{};
    where.OffsetHigh = kLockOffsetHigh;
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where)) {
        const DWORD code = GetLastError();
        CloseHandle(file);
        if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return LockAttempt::Busy;
        error = "LockFileEx: " + detail::SystemErrorText(code);
        return LockAttempt::Failed;
    }
    const HANDLE current = openShared(path, 0);
    const bool same = current != INVALID_HANDLE_VALUE && sameFile(file, current);
    if (current != INVALID_HANDLE_VALUE) CloseHandle(current);
    if (!same) {
        CloseHandle(file);
        return LockAttempt::Replaced;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return LockAttempt::Locked;
}

}  // namespace standin
