// String tables of compiled resources: strings are stored in blocks of 16, one
// RT_STRING resource per block, each string a 16-bit length followed by that
// many UTF-16 units (no terminator). A length of 0 means "no such string".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace standin {

inline constexpr std::size_t kStringsPerBlock = 16;
/// String IDs are 16-bit: anything above cannot be in a string table.
inline constexpr std::uint32_t kLargestStringId = 0xFFFF;

/// Resource name (ordinal) of the block that holds string `stringId`.
constexpr std::uint16_t StringBlockId(std::uint16_t stringId) {
    return static_cast<std::uint16_t>((stringId >> 4) + 1);
}

/// Position of string `stringId` within its block.
constexpr std::size_t StringIndexInBlock(std::uint16_t stringId) { return stringId & 0xF; }

using StringBlockTexts = std::array<std::u16string, kStringsPerBlock>;

/// Parses the data of one RT_STRING resource: the 16 strings of block
/// `blockId`, empty where the block has none. Trailing bytes after the 16th
/// string are ignored, as Windows does. `dataOffset` is where the data starts
/// in the resource image, for error messages. Throws ResourceFormatError when
/// a length or a string runs past the end of the data.
StringBlockTexts ParseStringBlock(std::span<const std::uint8_t> data, std::uint16_t blockId,
                                  std::size_t dataOffset);

}  // namespace standin
