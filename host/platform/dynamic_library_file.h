// What both platforms' module checks do before reading a module's headers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace standin::detail {

/// Throws LibraryOpenError unless `file` is an existing regular file.
void CheckModuleFileKind(const std::filesystem::path& file);

/// Reads `count` bytes at `offset` into `out` (zero-filled past the end of
/// the file); false when the file holds fewer.
bool ReadAt(std::ifstream& in, std::uint64_t offset, std::size_t count,
            std::vector<unsigned char>& out);

}  // namespace standin::detail
