#include "platform/private_file.h"

#include <windows.h>

#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace standin {

PrivateFile::PrivateFile(const std::string& name, const std::string& content) {
    std::error_code error;
    // The user's own temporary folder: its access list admits only the user
    // (and the system's administrators), and a new folder inherits it.
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) throw std::runtime_error("no temporary folder: " + error.message());
    std::random_device random;
    for (int attempt = 0; folder_.empty(); ++attempt) {
        const std::filesystem::path candidate =
            temporary / ("nacrelle-" + std::to_string(random()) + std::to_string(random()));
        if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
            folder_ = candidate;
        } else if (::GetLastError() != ERROR_ALREADY_EXISTS || attempt >= 100) {
            throw std::runtime_error("cannot make a folder in " + temporary.string() +
                                     ": error " + std::to_string(::GetLastError()));
        }
    }
    path_ = folder_ / std::filesystem::u8path(name);
    std::ofstream out(path_, std::ios::binary);
    out << content;
    out.close();
    if (!out) {
        std::filesystem::remove_all(folder_, error);
        throw std::runtime_error("cannot write " + path_.string());
    }
}

PrivateFile::~PrivateFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

}  // namespace standin
