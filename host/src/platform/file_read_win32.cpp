// ReadRegularFile on Windows: opening a pipe or a device never blocks here,
// so the file is opened first and the open handle says what it is.
#include <algorithm>

#include "standin/file_read.h"
#include "windows_error.h"

namespace standin {
namespace {

using Kind = FileReadFailure::Kind;

bool Refuse(FileReadFailure& failure, Kind kind, std::string systemText = {},
            std::uint64_t size = 0) {
    failure = FileReadFailure{kind, std::move(systemText), size};
    return false;
}

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
            return Refuse(failure, Kind::kNotFound, "No such file or directory");
        }
        return Refuse(failure, Kind::kCannotOpen, detail::SystemErrorText(code));
    }
    struct Closer {
        HANDLE handle;
        ~Closer() { CloseHandle(handle); }
    } closer{file};
    if (GetFileType(file) != FILE_TYPE_DISK) return Refuse(failure, Kind::kNotRegular);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) {
        return Refuse(failure, Kind::kCannotOpen, detail::SystemErrorText(GetLastError()));
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Refuse(failure, Kind::kDirectory);
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (size > limit) return Refuse(failure, Kind::kTooLarge, {}, size);

    std::vector<std::uint8_t> read(static_cast<std::size_t>(size) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == read.size()) {
            if (got > limit) return Refuse(failure, Kind::kTooLarge, {}, got);
            read.resize(
                static_cast<std::size_t>(std::min<std::uint64_t>(limit + 1, 2 * read.size())));
        }
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(read.size() - got, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(file, read.data() + got, chunk, &n, nullptr)) {
            return Refuse(failure, Kind::kCannotRead, detail::SystemErrorText(GetLastError()));
        }
        if (n == 0) break;
        got += n;
    }
    read.resize(got);
    bytes = std::move(read);
    if (identity != nullptr) {
        *identity = {info.dwVolumeSerialNumber,
                     (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    }
    return true;
}

}  // namespace standin
