#include "platform/private_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace standin {

PrivateFile::PrivateFile(const std::string& name, const std::string& content) {
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) throw std::runtime_error("no temporary folder: " + error.message());
    std::string pattern = (temporary / "nacrelle-XXXXXX").string();
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

PrivateFile::~PrivateFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

}  // namespace standin
