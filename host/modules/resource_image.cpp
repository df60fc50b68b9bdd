// Parsing a compiled .res image into its resources.
#include "modules/resource_image.h"

#include <map>
#include <tuple>
#include <utility>

#include "byte_reader.h"
#include "platform/utf16.h"

namespace standin {

ResourceFormatError::ResourceFormatError(std::size_t offset, const std::string& message)
    : std::runtime_error(message), offset_(offset) {}

NameOrOrdinal NameOrOrdinal::Ordinal(std::uint16_t value) {
    NameOrOrdinal result;
    result.isOrdinal = true;
    result.ordinal = value;
    return result;
}

NameOrOrdinal NameOrOrdinal::Name(std::u16string text) {
    NameOrOrdinal result;
    result.name = std::move(text);
    return result;
}

std::string NameOrOrdinal::Describe() const {
    if (isOrdinal) return "#" + std::to_string(ordinal);
    return "\"" + Utf16ToUtf8(name) + "\"";
}

namespace {

// DataSize, HeaderSize, type and name as ordinals, DataVersion, MemoryFlags,
// LanguageId, Version, Characteristics.
constexpr std::uint32_t kSmallestHeaderSize = 32;

NameOrOrdinal ReadResourceName(detail::ByteReader& reader, const char* field) {
    const std::size_t start = reader.Position();
    NameOrOrdinal result = reader.StringOrOrdinal(field);
    if (result.IsEmpty()) reader.FailAt(start, std::string(field) + " is an empty string");
    return result;
}

using EntryKey = std::tuple<bool, std::uint16_t, std::u16string, bool, std::uint16_t,
                            std::u16string, std::uint16_t>;

EntryKey KeyOf(const ResourceEntry& entry) {
    return {entry.type.isOrdinal, entry.type.ordinal, entry.type.name, entry.name.isOrdinal,
            entry.name.ordinal,   entry.name.name,    entry.languageId};
}

/// Reads one RESOURCEHEADER and its data, starting at the reader's position.
ResourceEntry ReadEntry(std::span<const std::uint8_t> image, detail::ByteReader& reader) {
    ResourceEntry entry;
    entry.headerOffset = reader.Position();
    const std::uint32_t dataSize = reader.U32("RESOURCEHEADER.DataSize");
    const std::size_t headerSizeAt = reader.Position();
    const std::uint32_t headerSize = reader.U32("RESOURCEHEADER.HeaderSize");
    const std::size_t available = image.size() - entry.headerOffset;
    if (headerSize < kSmallestHeaderSize) {
        reader.FailAt(headerSizeAt, "RESOURCEHEADER.HeaderSize " + std::to_string(headerSize) +
                                        " is smaller than the smallest header (32 bytes)");
    }
    if (headerSize > available) {
        reader.FailAt(headerSizeAt, "RESOURCEHEADER.HeaderSize " + std::to_string(headerSize) +
                                        " runs past the end of the image (" +
                                        std::to_string(available) + " bytes left)");
    }

    // The fields must fit in the header's own declared size.
    detail::ByteReader header(
        image.subspan(entry.headerOffset, headerSize), entry.headerOffset,
        "resource header at byte offset " + std::to_string(entry.headerOffset));
    header.Seek(8, "RESOURCEHEADER.Type");
    entry.type = ReadResourceName(header, "RESOURCEHEADER.Type");
    entry.name = ReadResourceName(header, "RESOURCEHEADER.Name");
    header.AlignTo4();
    entry.dataVersion = header.U32("RESOURCEHEADER.DataVersion");
    entry.memoryFlags = header.U16("RESOURCEHEADER.MemoryFlags");
    entry.languageId = header.U16("RESOURCEHEADER.LanguageId");
    entry.version = header.U32("RESOURCEHEADER.Version");
    entry.characteristics = header.U32("RESOURCEHEADER.Characteristics");

    entry.dataOffset = entry.headerOffset + headerSize;
    const std::size_t dataAvailable = image.size() - entry.dataOffset;
    if (dataSize > dataAvailable) {
        reader.FailAt(entry.headerOffset, "RESOURCEHEADER.DataSize " + std::to_string(dataSize) +
                                              " of resource " + entry.type.Describe() + "/" +
                                              entry.name.Describe() +
                                              " runs past the end of the image (" +
                                              std::to_string(dataAvailable) + " bytes left)");
    }
    const auto data = image.subspan(entry.dataOffset, dataSize);
    entry.data.assign(data.begin(), data.end());
    reader.Seek(entry.dataOffset + dataSize, "RESOURCEHEADER.DataSize");
    reader.AlignTo4();
    return entry;
}

bool IsEmptyEntry(const ResourceEntry& entry) {
    return entry.data.empty() && entry.type == NameOrOrdinal::Ordinal(0) &&
           entry.name == NameOrOrdinal::Ordinal(0);
}

}  // namespace

std::vector<ResourceEntry> ParseResourceImage(std::span<const std::uint8_t> image) {
    detail::ByteReader reader(image, 0, "resource image");
    if (image.empty()) reader.Fail("the image is empty");

    const ResourceEntry first = ReadEntry(image, reader);
    if (!IsEmptyEntry(first)) {
        reader.FailAt(0,
                      "not a 32-bit compiled resource image: it must start with an empty entry "
                      "(no data, type #0, name #0), found " +
                          first.type.Describe() + "/" + first.name.Describe() + " with " +
                          std::to_string(first.data.size()) + " data byte(s)");
    }

    std::vector<ResourceEntry> entries;
    std::map<EntryKey, std::size_t> seen;  // key -> header offset of the first occurrence
    while (!reader.AtEnd()) {
        ResourceEntry entry = ReadEntry(image, reader);
        const auto [it, inserted] = seen.emplace(KeyOf(entry), entry.headerOffset);
        if (!inserted) {
            reader.FailAt(entry.headerOffset, "duplicate resource " + entry.type.Describe() + "/" +
                                                  entry.name.Describe() + " language " +
                                                  detail::Hex(entry.languageId, 4) +
                                                  " (first at byte offset " +
                                                  std::to_string(it->second) + ")");
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace standin
