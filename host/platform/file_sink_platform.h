// The platform's part of saving files atomically (see platform/atomic_file.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace standin::detail {

/// This process's ID, to keep temporary names of concurrent savers apart.
unsigned long CurrentProcessId();
/// What `path` names when it is a device or a pipe that the system keeps
/// outside folders, where the file system's status sees nothing (Windows:
/// "NUL", "\\.\pipe\..."): character or fifo; file_type::none otherwise.
std::filesystem::file_type StreamTargetType(const std::filesystem::path& path);
/// How many names the existing file `path` has; 1 when that cannot be told.
std::uintmax_t HardLinkCount(const std::filesystem::path& path);
/// True when something exists at `path` (a name clash when creating a file).
bool AlreadyExists(const std::filesystem::path& path);
/// Gives `to` the owner and group (where the process may) and then the
/// permission bits of `from`, when `from` exists; best effort.
void CopyPermissions(const std::filesystem::path& from, const std::filesystem::path& to);
/// True when this process may write the existing file `path`. Unlike the
/// system's own check, an administrator may not write a file without any
/// write permission: that is the user's way of saying "keep this".
bool MayWrite(const std::filesystem::path& path);
/// True when this process may remove the directory entry `path`: it may
/// write the directory, and a sticky directory does not reserve the entry
/// for its owner.
bool MayRemoveEntry(const std::filesystem::path& path);
/// Removes `path` should SIGINT, SIGTERM or SIGHUP end the process before
/// ForgetOnSignal(path). Handlers are only installed over the default
/// action; a few paths at once at most (others are simply not watched).
void RemoveOnSignal(const std::filesystem::path& path);
void ForgetOnSignal(const std::filesystem::path& path);
/// The longest file name the file system holding `directory` ("" is the
/// current directory) takes, in units of the platform's names (kFileNameUnits).
std::size_t LongestFileName(const std::filesystem::path& directory);
extern const char* const kFileNameUnits;
/// The file that `target` leads to, where the file system's status does not
/// follow links itself (Windows: symbolic links and other reparse points,
/// and Wine's view of POSIX links); `target` unchanged elsewhere or when
/// nothing is there. `throughLink` is set when a link was followed.
std::filesystem::path LinkedFile(const std::filesystem::path& target, bool& throughLink);
/// Renames `temporary` over `target`, replacing it in one step; false, with
/// `error` set and nothing changed, on failure. Where another program may
/// hold the target for a moment (Windows), waits for it a bounded time.
bool RenameOver(const std::filesystem::path& temporary, const std::filesystem::path& target,
                std::string& error);
/// Flushes the directory entry changes of `directory` ("" is the current
/// directory) to the device; best effort.
void SyncDirectory(const std::filesystem::path& directory);

}  // namespace standin::detail
