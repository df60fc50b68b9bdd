// File locks on Windows: a named mutex for the file's full path. A lock on
// the file itself would keep it open, and Windows will not rename a save over
// a file that is open; a mutex leaves the file alone, needs no lock file
// beside it, and passes to the next waiter if its holder dies.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "file_sink_platform.h"
#include "platform/file_lock.h"
#include "windows_error.h"

namespace standin {
namespace {

/// The mutex name for `path`: the file's final path (through links, in the
/// file system's own spelling: "film.nscene." and "FILM.nscene" lock the one
/// file), folded to upper case as names are case-insensitive, and hashed
/// (FNV-1a, 64 bits).
std::wstring mutexNameFor(const std::filesystem::path& path) {
    std::error_code error;
    bool throughLink = false;
    const std::filesystem::path final = detail::LinkedFile(path, throughLink);
    std::wstring full = final != path && !final.empty()
                            ? final.wstring()
                            : std::filesystem::weakly_canonical(path, error).wstring();
    if (error) full = std::filesystem::absolute(path, error).wstring();
    if (!full.empty()) CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    std::uint64_t hash = 14695981039346656037ull;
    for (wchar_t c : full) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 1099511628211ull;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\Nacrelle.FileLock.%016llx",
                  static_cast<unsigned long long>(hash));
    return name;
}

}  // namespace

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
    if (handle_ != -1) {
        const auto mutex = reinterpret_cast<HANDLE>(handle_);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    handle_ = -1;
}

LockAttempt FileLock::TryLock(const std::filesystem::path& path, std::string& error) {
    Release();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = detail::SystemErrorText(GetLastError());
        return LockAttempt::Failed;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "it is a directory";
        return LockAttempt::Failed;
    }
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexNameFor(path).c_str());
    if (mutex == nullptr) {
        error = "CreateMutexW: " + detail::SystemErrorText(GetLastError());
        return LockAttempt::Failed;
    }
    // WAIT_ABANDONED: the last holder died while holding it; the file is as
    // its last complete save left it, so the lock is ours.
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        handle_ = reinterpret_cast<std::intptr_t>(mutex);
        return LockAttempt::Locked;
    }
    CloseHandle(mutex);
    if (waited == WAIT_TIMEOUT) return LockAttempt::Busy;
    error = "WaitForSingleObject: " + detail::SystemErrorText(GetLastError());
    return LockAttempt::Failed;
}

}  // namespace standin
