// ReadRegularFile on Windows: opening a pipe or a device never blocks here,
// so the file is opened first and the open handle says what it is.
#include <algorithm>

#include "file_read_steps.h"
#include "windows_error.h"

namespace standin {
namespace {

using Kind = FileReadFailure::Kind;
using detail::RefuseRead;

/// ReadFile takes a 32-bit count: a larger file is read in pieces of this size.
constexpr std::size_t kLargestRead = std::size_t{1} << 30;

}  // namespace

bool ReadRegularFile(const std::filesystem::path& path, std::uint64_t limit,
                     std::vector<std::uint8_t>& bytes, FileReadFailure& failure,
                     FileIdentity* identity) {
    // Backup semantics: a folder opens too, and is refused as one.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            return RefuseRead(failure, Kind::kNotFound, "No such file or directory");
        }
        return RefuseRead(failure, Kind::kCannotOpen, detail::SystemErrorText(code));
    }
    struct Closer {
        HANDLE handle;
        ~Closer() { CloseHandle(handle); }
    } closer{file};
    if (GetFileType(file) != FILE_TYPE_DISK) return RefuseRead(failure, Kind::kNotRegular);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) {
        return RefuseRead(failure, Kind::kCannotOpen, detail::SystemErrorText(GetLastError()));
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return RefuseRead(failure, Kind::kDirectory);
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (size > limit) return RefuseRead(failure, Kind::kTooLarge, {}, size);

    const auto readSome = [file](std::uint8_t* into, std::size_t count, std::string& error) {
        DWORD n = 0;
        if (!ReadFile(file, into, static_cast<DWORD>(std::min(count, kLargestRead)), &n, nullptr)) {
            error = detail::SystemErrorText(GetLastError());
            return -1LL;
        }
        return static_cast<long long>(n);
    };
    if (!detail::ReadToEnd(size, limit, readSome, bytes, failure)) return false;
    if (identity != nullptr) {
        *identity = {info.dwVolumeSerialNumber,
                     (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    }
    return true;
}

std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path) {
    // Opened for no access at all: a file another program holds still answers.
    const HANDLE file = CreateFileW(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!known) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

}  // namespace standin
