// Windows files for atomic saving: CreateFileW(CREATE_NEW), WriteFile,
// FlushFileBuffers, and MoveFileExW with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_WRITE_THROUGH, which returns only once the rename is on the disk.
// Names are UTF-16 at the system's calls, so that any file name works.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <limits>

#include "windows_error.h"
#include "file_sink_platform.h"
#include "platform/atomic_file.h"
#include "platform/utf16.h"

namespace standin {
namespace {

class FileSink final : public ByteSink {
public:
    /// `flush`: a file on a disk; devices and pipes are only closed.
    FileSink(HANDLE file, bool flush) : file_(file), flush_(flush) {}
    ~FileSink() override {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool Write(std::span<const std::uint8_t> bytes, std::string& error) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(
                std::min<std::size_t>(bytes.size() - done, std::numeric_limits<DWORD>::max() / 2));
            DWORD written = 0;
            if (!WriteFile(file_, bytes.data() + done, chunk, &written, nullptr)) {
                error = detail::SystemErrorText(GetLastError());
                return false;
            }
            done += written;
        }
        return true;
    }

    bool Commit(std::string& error) override {
        if (flush_ && !FlushFileBuffers(file_)) {
            error = "FlushFileBuffers: " + detail::SystemErrorText(GetLastError());
            return false;
        }
        const HANDLE file = file_;
        file_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(file)) {
            error = "CloseHandle: " + detail::SystemErrorText(GetLastError());
            return false;
        }
        return true;
    }

private:
    HANDLE file_;
    bool flush_;
};

}  // namespace

std::unique_ptr<ByteSink> OpenFileSink(const std::filesystem::path& path, std::string& error) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = detail::SystemErrorText(GetLastError());
        return nullptr;
    }
    return std::make_unique<FileSink>(file, true);
}

std::unique_ptr<ByteSink> OpenStreamSink(const std::filesystem::path& path, std::string& error) {
    const HANDLE stream =
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stream == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        error = code == ERROR_PIPE_BUSY ? "the pipe is busy with another writer"
                                        : detail::SystemErrorText(code);
        return nullptr;
    }
    return std::make_unique<FileSink>(stream, false);
}

namespace detail {

std::filesystem::file_type StreamTargetType(const std::filesystem::path& path) {
    // Opening a pipe would take its one free end: a pipe is known by its name.
    const std::wstring name = path.wstring();
    for (const wchar_t* prefix : {L"\\\\.\\pipe\\", L"\\\\?\\pipe\\"}) {
        if (_wcsnicmp(name.c_str(), prefix, wcslen(prefix)) == 0) {
            return std::filesystem::file_type::fifo;
        }
    }
    // Opened for nothing but a question: a device answers what it is.
    const HANDLE handle = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::filesystem::file_type::none;
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_CHAR ? std::filesystem::file_type::character
                                  : std::filesystem::file_type::none;
}

// The C runtime's stat reports one link for every file: the handle knows.
std::uintmax_t HardLinkCount(const std::filesystem::path& path) {
    const HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return known ? info.nNumberOfLinks : 1;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(GetCurrentProcessId()); }

bool AlreadyExists(const std::filesystem::path& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CopyPermissions(const std::filesystem::path& from, const std::filesystem::path& to) {
    // A read-only target stays read-only; its other attributes describe the
    // old file, not the new one.
    const DWORD attributes = GetFileAttributesW(from.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        return;
    }
    const DWORD current = GetFileAttributesW(to.c_str());
    if (current != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(to.c_str(), current | FILE_ATTRIBUTE_READONLY);
    }
}

bool MayWrite(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool MayRemoveEntry(const std::filesystem::path& /*path*/) {
    // Windows has no sticky folders; what may not be removed fails at the
    // rename with the system's reason.
    return true;
}

// Not watched on Windows: a save stopped by Ctrl-C may leave its temporary
// file behind (a later save picks a name of its own, so nothing clashes).
void RemoveOnSignal(const std::filesystem::path& /*path*/) {}
void ForgetOnSignal(const std::filesystem::path& /*path*/) {}

std::size_t LongestFileName(const std::filesystem::path& directory) {
    constexpr std::size_t kUsual = 255;  // NTFS, exFAT and FAT's long names alike
    std::error_code ignored;
    const std::wstring where = std::filesystem::absolute(directory.empty() ? "." : directory, ignored).wstring();
    wchar_t volume[MAX_PATH + 1];
    DWORD longest = 0;
    if (!GetVolumePathNameW(where.c_str(), volume, MAX_PATH + 1) ||
        !GetVolumeInformationW(volume, nullptr, 0, nullptr, &longest, nullptr, nullptr, 0) ||
        longest == 0) {
        return kUsual;
    }
    return longest;
}

const char* const kFileNameUnits = "characters";

std::filesystem::path LinkedFile(const std::filesystem::path& target, bool& throughLink) {
    throughLink = false;
    // A pipe is not opened to ask (that would take its one free end).
    if (StreamTargetType(target) != std::filesystem::file_type::none) return target;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    throughLink = attributes != INVALID_FILE_ATTRIBUTES &&
                  (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // Opened for no access, through every link: the handle knows the real file.
    const HANDLE file =
        CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return throughLink ? std::filesystem::path() : target;
    // A device or a pipe has no such name: it is written where it was named.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return target;
    }
    std::wstring name(MAX_PATH, L'\0');
    DWORD length = 0;
    for (;;) {
        length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length < name.size()) break;
        name.resize(length + 1);
    }
    CloseHandle(file);
    if (length == 0) return target;
    name.resize(length);
    // "\\?\C:\..." and "\\?\UNC\server\...": the plain forms, as the user names them.
    if (name.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + name.substr(8);
    if (name.rfind(L"\\\\?\\", 0) == 0) return name.substr(4);
    return name;
}

bool RenameOver(const std::filesystem::path& temporary, const std::filesystem::path& target,
                std::string& error) {
    // Windows renames nothing over a file that another program has open: a
    // reader, an indexer, a virus scanner, each for a moment as a rule. The
    // save waits for it, backing off, for a bounded time.
    constexpr DWORD kLongestWaitMs = 2000;
    constexpr DWORD kLongestPauseMs = 100;
    DWORD waited = 0;
    DWORD pause = 1;
    for (;;) {
        if (MoveFileExW(temporary.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD code = GetLastError();
        const bool held = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ||
                          code == ERROR_LOCK_VIOLATION;
        if (!held || waited >= kLongestWaitMs) {
            error = detail::SystemErrorText(code);
            if (held) {
                char seconds[32];
                std::snprintf(seconds, sizeof seconds, "%.1f", waited / 1000.0);
                error += std::string(" (another program kept the file open for ") + seconds +
                         " s; close it there and save again)";
            }
            return false;
        }
        Sleep(pause);
        waited += pause;
        pause = std::min(pause * 2, kLongestPauseMs);
    }
}

void SyncDirectory(const std::filesystem::path& /*directory*/) {
    // MOVEFILE_WRITE_THROUGH already waited for the rename to reach the disk.
}

}  // namespace detail
}  // namespace standin
