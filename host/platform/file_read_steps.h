// The steps of ReadRegularFile that both platforms share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_read.h"

namespace standin::detail {

/// Sets `failure` and returns false.
bool RefuseRead(FileReadFailure& failure, FileReadFailure::Kind kind, std::string systemText = {},
                std::uint64_t size = 0);

/// Reads up to `count` bytes into `into`: the number read (0 at the end), or
/// -1 with `error` set.
using ReadSome = std::function<long long(std::uint8_t* into, std::size_t count, std::string& error)>;

/// Reads a file to its end through `readSome`, expecting `expectedSize` bytes
/// but taking what the file really holds up to `limit` (it may have grown).
bool ReadToEnd(std::uint64_t expectedSize, std::uint64_t limit, const ReadSome& readSome,
               std::vector<std::uint8_t>& bytes, FileReadFailure& failure);

}  // namespace standin::detail
