// What PrivateFile::SweepAbandoned asks of each system: whether a folder of
// the temporary folder is one a process of this user made for a private file
// and left when it ended.
#pragma once

#include <filesystem>

namespace standin {

bool IsAbandonedFolder(const std::filesystem::directory_entry& entry);

}  // namespace standin
