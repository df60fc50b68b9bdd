#include "platform/private_file.h"

#include <system_error>

#include "private_file_folder.h"

namespace standin {

PrivateFile::~PrivateFile() { remove(); }

void PrivateFile::remove() {
    if (folder_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    folder_.clear();
}

void PrivateFile::SweepAbandoned(const std::string& name) {
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) return;
    std::filesystem::directory_iterator entries(temporary, error);
    if (error) return;
    for (const std::filesystem::directory_entry& entry : entries) {
        if (!IsAbandonedFolder(entry)) continue;
        // Only what such a folder holds; a folder holding more is not ours.
        std::filesystem::remove(entry.path() / std::filesystem::u8path(name), error);
        std::filesystem::remove(entry.path(), error);
    }
}

}  // namespace standin
