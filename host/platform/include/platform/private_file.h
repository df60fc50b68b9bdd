// A file only its user may read, for what must stay off every command line
// (an address that carries a secret): in a folder of its own in the
// temporary folder, both removed when it goes. The folder's name holds the
// process's ID, so that what a killed process left is found and removed by
// the next one (SweepAbandoned).
#pragma once

#include <filesystem>
#include <string>

namespace standin {

class PrivateFile {
public:
    /// Writes `content` to a new file `name` in a new folder that only the
    /// user may enter (mode 0700 on POSIX systems; on Windows an access list
    /// that admits the user alone). Throws std::runtime_error saying why it
    /// could not.
    PrivateFile(const std::string& name, const std::string& content);
    /// Removes the file and its folder.
    ~PrivateFile();
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    /// Removes the file and its folder now (at once, not at the end).
    void remove();

    /// Removes the files `name` (and their folders) that processes of this
    /// user which have ended left in the temporary folder: a process killed
    /// outright removes nothing. Folders of running processes, other users'
    /// and anything else stay.
    static void SweepAbandoned(const std::string& name);

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

}  // namespace standin
