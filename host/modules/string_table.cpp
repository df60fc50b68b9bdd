// Parsing string-table blocks of 16 length-prefixed UTF-16 strings.
#include "modules/string_table.h"

#include "byte_reader.h"

namespace standin {

StringBlockTexts ParseStringBlock(std::span<const std::uint8_t> data, std::uint16_t blockId,
                                  std::size_t dataOffset) {
    if (blockId == 0) {
        detail::ByteReader(data, dataOffset, "string block #0")
            .Fail("no such block: string blocks are numbered from 1");
    }
    const std::uint32_t firstId = (std::uint32_t{blockId} - 1) * kStringsPerBlock;
    detail::ByteReader reader(data, dataOffset,
                              "string block #" + std::to_string(blockId) + " (strings " +
                                  std::to_string(firstId) + "-" +
                                  std::to_string(firstId + kStringsPerBlock - 1) + ")");
    StringBlockTexts texts;
    for (std::size_t i = 0; i < kStringsPerBlock; ++i) {
        const std::string label = "length of string " + std::to_string(firstId + i);
        const std::uint16_t length = reader.U16(label.c_str());
        if (std::size_t{length} * 2 > reader.Remaining()) {
            reader.Fail("string " + std::to_string(firstId + i) + " of " + std::to_string(length) +
                        " UTF-16 units runs past the end of the block (" +
                        std::to_string(reader.Remaining()) + " bytes left)");
        }
        std::u16string& text = texts[i];
        text.resize(length);
        for (std::uint16_t k = 0; k < length; ++k) {
            text[k] = static_cast<char16_t>(reader.U16("string text"));
        }
    }
    return texts;
}

}  // namespace standin
