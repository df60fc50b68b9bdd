#include "platform/private_file.h"
#include "private_file_folder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

namespace standin {

namespace {

constexpr std::string_view kFolderPrefix = "nacrelle-";

/// The process that made folder `name` ("nacrelle-PID-XXXXXX"); 0: none.
pid_t folderOwner(const std::string& name) {
    if (name.compare(0, kFolderPrefix.size(), kFolderPrefix) != 0) return 0;
    const std::string rest = name.substr(kFolderPrefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || dash > 9 || rest.size() != dash + 7) return 0;
    if (rest.find_first_not_of("0123456789") != dash) return 0;
    return static_cast<pid_t>(std::strtol(rest.c_str(), nullptr, 10));
}

}  // namespace

PrivateFile::PrivateFile(const std::string& name, const std::string& content) {
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) throw std::runtime_error("no temporary folder: " + error.message());
    std::string pattern = (temporary / (std::string(kFolderPrefix) +
                                        std::to_string(::getpid()) + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    // mkdtemp makes the folder with mode 0700, under a name no one else has.
    if (::mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("cannot make a folder in " + temporary.string() + ": " +
                                 std::strerror(errno));
    }
    folder_ = buffer.data();
    path_ = folder_ / name;
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool written = fd >= 0;
    for (std::size_t done = 0; written && done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    const int why = errno;
    if (fd >= 0 && ::close(fd) != 0) written = false;
    if (!written) {
        std::filesystem::remove_all(folder_, error);
        throw std::runtime_error("cannot write " + path_.string() + ": " + std::strerror(why));
    }
}

bool IsAbandonedFolder(const std::filesystem::directory_entry& entry) {
    const pid_t owner = folderOwner(entry.path().filename().string());
    if (owner <= 0) return false;
    struct stat folder;
    if (::lstat(entry.path().c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode) ||
        folder.st_uid != ::geteuid()) {
        return false;
    }
    // Still running (or someone else's process): its folder is in use.
    return ::kill(owner, 0) != 0 && errno == ESRCH;
}

}  // namespace standin
