// The container format of compiled resources (.res): a sequence of entries,
// each a RESOURCEHEADER (sizes, type, name, language, ...) followed by the
// resource's data, every part aligned to 4 bytes, the whole introduced by one
// empty entry that marks a 32-bit resource file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace standin {

/// Malformed compiled-resource bytes. The message names the structure, the
/// field and the byte offset, counted from the start of the resource image.
class ResourceFormatError : public std::runtime_error {
public:
    ResourceFormatError(std::size_t offset, const std::string& message);
    /// Byte offset of the fault from the start of the resource image.
    std::size_t Offset() const noexcept { return offset_; }

private:
    std::size_t offset_;
};

/// Resource type ordinals of the formats the stand-in reads.
inline constexpr std::uint16_t kResourceTypeDialog = 5;  // RT_DIALOG
inline constexpr std::uint16_t kResourceTypeString = 6;  // RT_STRING

/// A resource type or name, or a class or title inside a dialog template: a
/// 16-bit ordinal, or a UTF-16 string. An empty string stands for "none" where
/// the format allows that (a dialog without menu or class, an empty title).
struct NameOrOrdinal {
    static NameOrOrdinal Ordinal(std::uint16_t value);
    static NameOrOrdinal Name(std::u16string text);

    /// True for "no ordinal and no text".
    bool IsEmpty() const { return !isOrdinal && name.empty(); }
    /// For messages: `#5` for an ordinal, `"NAME"` (UTF-8) for a string.
    std::string Describe() const;

    friend bool operator==(const NameOrOrdinal&, const NameOrOrdinal&) = default;

    bool isOrdinal = false;
    std::uint16_t ordinal = 0;
    std::u16string name;  // empty when isOrdinal
};

/// One resource of an image, with its header fields and a copy of its data.
struct ResourceEntry {
    NameOrOrdinal type;
    NameOrOrdinal name;
    std::uint32_t dataVersion = 0;
    std::uint16_t memoryFlags = 0;
    std::uint16_t languageId = 0;
    std::uint32_t version = 0;
    std::uint32_t characteristics = 0;
    std::size_t headerOffset = 0;  // of the entry's header in the image
    std::size_t dataOffset = 0;    // of the entry's data in the image
    std::vector<std::uint8_t> data;
};

/// Parses a .res image into its entries, in file order, without the leading
/// empty entry. Throws ResourceFormatError for an image that does not start
/// with the empty entry, for any header or data that runs past the end, for
/// an inconsistent header size, an empty or unterminated name, and for two
/// entries with the same type, name and language.
std::vector<ResourceEntry> ParseResourceImage(std::span<const std::uint8_t> image);

}  // namespace standin
