// Reading the whole of a file that a user or a scene names. Only a regular
// file is read: a pipe with no writer would block the read for ever and a
// device never ends, so both are refused without a byte read from them.
#pragma once

#include <cstdint>
#include <filesystem>
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

/// Reads all of `path` into `bytes` when it is a regular file of at most
/// `limit` bytes; never reads more than `limit` + 1 bytes, should the file
/// grow meanwhile. False, with `failure` set and `bytes` untouched, otherwise.
bool ReadRegularFile(const std::filesystem::path& path, std::uint64_t limit,
                     std::vector<std::uint8_t>& bytes, FileReadFailure& failure);

}  // namespace standin
