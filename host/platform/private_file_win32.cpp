#include "platform/private_file.h"
#include "private_file_folder.h"

#include <windows.h>
// sddl.h needs windows.h first.
#include <sddl.h>

#include <cwchar>
#include <memory>
#include <random>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace standin {

namespace {

constexpr std::wstring_view kFolderPrefix = L"nacrelle-";

std::string errorText(const char* what, DWORD code) {
    return std::string(what) + ": error " + std::to_string(code);
}

/// An access list that admits the user alone, not inherited from the
/// temporary folder: under Wine, and wherever the temporary folder is shared,
/// the folder's own list would let others read the file.
class UserOnlySecurity {
public:
    UserOnlySecurity() {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
            throw std::runtime_error(errorText("cannot read the user's token", ::GetLastError()));
        }
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        auto user = std::make_unique<unsigned char[]>(size);
        const bool read = ::GetTokenInformation(token, TokenUser, user.get(), size, &size);
        const DWORD readError = ::GetLastError();
        ::CloseHandle(token);
        if (!read) throw std::runtime_error(errorText("cannot read the user's token", readError));
        LPWSTR sid = nullptr;
        if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid, &sid)) {
            throw std::runtime_error(errorText("cannot name the user", ::GetLastError()));
        }
        // Protected (P): nothing inherited; full access (FA) for the user,
        // passed on to what the folder holds (OICI).
        const std::wstring sddl = std::wstring(L"D:P(A;OICI;FA;;;") + sid + L")";
        ::LocalFree(sid);
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr)) {
            throw std::runtime_error(errorText("cannot make an access list", ::GetLastError()));
        }
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_;
        attributes_.bInheritHandle = FALSE;
    }
    ~UserOnlySecurity() { ::LocalFree(descriptor_); }
    UserOnlySecurity(const UserOnlySecurity&) = delete;
    UserOnlySecurity& operator=(const UserOnlySecurity&) = delete;

    SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

/// The process that made folder `name` ("nacrelle-PID-RANDOM"); 0: none.
DWORD folderOwner(const std::wstring& name) {
    if (name.compare(0, kFolderPrefix.size(), kFolderPrefix) != 0) return 0;
    const std::wstring rest = name.substr(kFolderPrefix.size());
    const std::size_t dash = rest.find(L'-');
    if (dash == std::wstring::npos || dash == 0 || dash > 10) return 0;
    if (rest.find_first_not_of(L"0123456789") != dash) return 0;
    return static_cast<DWORD>(std::wcstoul(rest.c_str(), nullptr, 10));
}

bool processRunning(DWORD id) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    // No such process; a process we may not look at counts as running.
    if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool running = !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

}  // namespace

PrivateFile::PrivateFile(const std::string& name, const std::string& content) {
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) throw std::runtime_error("no temporary folder: " + error.message());
    UserOnlySecurity security;
    std::random_device random;
    const std::wstring prefix =
        std::wstring(kFolderPrefix) + std::to_wstring(::GetCurrentProcessId()) + L"-";
    for (int attempt = 0; folder_.empty(); ++attempt) {
        const std::filesystem::path candidate =
            temporary / (prefix + std::to_wstring(random()) + std::to_wstring(random()));
        if (::CreateDirectoryW(candidate.c_str(), security.attributes())) {
            folder_ = candidate;
        } else if (::GetLastError() != ERROR_ALREADY_EXISTS || attempt >= 100) {
            throw std::runtime_error(errorText(("cannot make a folder in " + temporary.string()).c_str(),
                                               ::GetLastError()));
        }
    }
    path_ = folder_ / std::filesystem::u8path(name);
    HANDLE file = ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, security.attributes(), CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    bool written = file != INVALID_HANDLE_VALUE;
    DWORD why = written ? 0 : ::GetLastError();
    DWORD done = 0;
    if (written && !content.empty()) {
        written = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &done,
                              nullptr) && done == content.size();
        if (!written) why = ::GetLastError();
    }
    if (file != INVALID_HANDLE_VALUE && !::CloseHandle(file)) written = false;
    if (!written) {
        std::filesystem::remove_all(folder_, error);
        throw std::runtime_error(errorText(("cannot write " + path_.string()).c_str(), why));
    }
}

bool IsAbandonedFolder(const std::filesystem::directory_entry& entry) {
    std::error_code error;
    const DWORD owner = folderOwner(entry.path().filename().wstring());
    if (owner == 0 || !entry.is_directory(error) || entry.is_symlink(error)) return false;
    return !processRunning(owner);
}

}  // namespace standin
