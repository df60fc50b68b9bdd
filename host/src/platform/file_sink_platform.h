// The platform's part of saving files atomically (see standin/atomic_file.h).
#pragma once

#include <filesystem>
#include <string>

namespace standin::detail {

/// This process's ID, to keep temporary names of concurrent savers apart.
unsigned long CurrentProcessId();
/// True when something exists at `path` (a name clash when creating a file).
bool AlreadyExists(const std::filesystem::path& path);
/// Gives `to` the permission bits of `from`, when `from` exists; best effort.
void CopyPermissions(const std::filesystem::path& from, const std::filesystem::path& to);
/// Renames `temporary` over `target`, replacing it in one step; false, with
/// `error` set and nothing changed, on failure.
bool RenameOver(const std::filesystem::path& temporary, const std::filesystem::path& target,
                std::string& error);
/// Flushes the directory entry changes of `directory` ("" is the current
/// directory) to the device; best effort.
void SyncDirectory(const std::filesystem::path& directory);

}  // namespace standin::detail
