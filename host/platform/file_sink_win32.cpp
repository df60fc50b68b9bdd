// Windows files for atomic saving: CreateFileW(CREATE_NEW), WriteFile,
// FlushFileBuffers, and MoveFileExW with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_WRITE_THROUGH, which returns only once the rename is on the disk.
// Names are UTF-16 at the system's calls, so that any file name works.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
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

bool RenameOver(const std::filesystem::path& temporary, const std::filesystem::path& target,
                std::string& error) {
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = detail::SystemErrorText(GetLastError());
        return false;
    }
    return true;
}

void SyncDirectory(const std::filesystem::path& /*directory*/) {
    // MOVEFILE_WRITE_THROUGH already waited for the rename to reach the disk.
}

}  // namespace detail
}  // namespace standin
