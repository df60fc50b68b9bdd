// A file only its user may read, for what must stay off every command line
// (an address that carries a secret): in a folder of its own in the
// temporary folder, both removed when it goes.
#pragma once

#include <filesystem>
#include <string>

namespace standin {

class PrivateFile {
public:
    /// Writes `content` to a new file `name` in a new folder that only the
    /// user may enter (mode 0700 on POSIX systems; on Windows the user's own
    /// temporary folder). Throws std::runtime_error saying why it could not.
    PrivateFile(const std::string& name, const std::string& content);
    /// Removes the file and its folder.
    ~PrivateFile();
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

}  // namespace standin
