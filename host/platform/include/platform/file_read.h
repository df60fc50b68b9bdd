// Reading the whole of a file that a user or a scene names. Only a regular
// file is read: a pipe with no writer would block the read for ever and a
// device never ends, so both are refused without a byte read from them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace standin {

/// Why ReadRegularFile read nothing.
struct FileReadFailure {
    enum class Kind {
        kNotFound,
        kDirectory,
        kNotRegular,  // a pipe, a device or a socket
        kTooLarge,
        kCannotOpen,
        kCannotRead,
    };
    Kind kind = Kind::kCannotOpen;
    std::string systemText;  // the system's words, for kCannotOpen and kCannotRead
    std::uint64_t size = 0;  // for kTooLarge: the size found (past the limit)
};

/// Which file a name led to, whatever its name: device and inode on POSIX
/// systems, volume serial number and file index on Windows. A save that
/// replaces the file gives the name a new identity.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

/// The identity of the file `path` leads to, through any links; nothing when
/// nothing is there or it cannot be inspected. Two names of one file, however
/// spelled (another case or a trailing dot on Windows, a linked folder), give
/// the same identity.
std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path);

/// Reads all of `path` into `bytes` when it is a regular file of at most
/// `limit` bytes; never reads more than `limit` + 1 bytes, should the file
/// grow meanwhile. False, with `failure` set and `bytes` untouched, otherwise.
/// `identity`, when given, is set to that of the file read.
bool ReadRegularFile(const std::filesystem::path& path, std::uint64_t limit,
                     std::vector<std::uint8_t>& bytes, FileReadFailure& failure,
                     FileIdentity* identity = nullptr);

}  // namespace standin
