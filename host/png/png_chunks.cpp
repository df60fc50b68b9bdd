// Walking a PNG file's chunks: bounds, CRCs, the header and the size limit.
#include "png_chunks.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "png/png_grey_reader.h"

namespace standin::detail {
namespace {

constexpr std::size_t kSignatureSize = 8;
constexpr std::size_t kChunkFrame = 12;  // length, type, CRC
constexpr std::uint32_t kIhdrLength = 13;
constexpr std::uint32_t kLargestDimension = 0x7FFFFFFFu;

std::uint32_t Big32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

/// The bit depths a colour type allows, as a mask of 1 << depth.
unsigned AllowedDepths(unsigned colourType) {
    switch (colourType) {
        case 0:
            return (1u << 1) | (1u << 2) | (1u << 4) | (1u << 8) | (1u << 16);  // grey
        case 3:
            return (1u << 1) | (1u << 2) | (1u << 4) | (1u << 8);  // palette
        case 2:
        case 4:
        case 6:
            return (1u << 8) | (1u << 16);  // RGB, grey + alpha, RGBA
        default:
            return 0;
    }
}

/// What is wrong with the 13 bytes of an IHDR chunk, or an empty string.
std::string HeaderFault(std::span<const std::uint8_t> data) {
    const std::uint32_t width = Big32(data, 0), height = Big32(data, 4);
    const unsigned depth = data[8], colourType = data[9];
    if (width == 0) return "image width is zero";
    if (height == 0) return "image height is zero";
    if (width > kLargestDimension) return "image width exceeds 2^31 - 1";
    if (height > kLargestDimension) return "image height exceeds 2^31 - 1";
    if (AllowedDepths(colourType) == 0) return "unknown colour type " + std::to_string(colourType);
    if (depth > 16 || (AllowedDepths(colourType) & (1u << depth)) == 0) {
        return "bit depth " + std::to_string(depth) + " is not allowed for colour type " +
               std::to_string(colourType);
    }
    if (data[10] != 0) return "unknown compression method " + std::to_string(data[10]);
    if (data[11] != 0) return "unknown filter method " + std::to_string(data[11]);
    if (data[12] > 1) return "unknown interlace method " + std::to_string(data[12]);
    return {};
}

}  // namespace

std::uint32_t PngCrc32(std::span<const std::uint8_t> bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t byte : bytes) crc = kCrcTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool WalkPngChunks(std::span<const std::uint8_t> bytes, PngFacts& facts, std::string& problem) {
    const auto corrupt = [&](const std::string& what, std::size_t at) {
        problem = "corrupt PNG data: " + what + " (found at byte " + std::to_string(at) + ")";
        return false;
    };
    bool sawHeader = false, sawImageData = false;
    for (std::size_t at = kSignatureSize;;) {
        const std::size_t left = bytes.size() - at;
        if (left < 8) {
            problem = "truncated: the file ends at byte " + std::to_string(bytes.size()) + ", " +
                      std::to_string(8 - left) + " bytes short of the chunk header at byte " +
                      std::to_string(at);
            return false;
        }
        const std::uint32_t length = Big32(bytes, at);
        char type[5] = {};
        for (int i = 0; i < 4; ++i) {
            const char c = static_cast<char>(bytes[at + 4 + i]);
            type[i] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? c : '?';
        }
        if (std::uint64_t{length} + kChunkFrame > left) {
            problem = "truncated: the file ends at byte " + std::to_string(bytes.size()) + ", " +
                      std::to_string(std::uint64_t{length} + kChunkFrame - left) +
                      " bytes short of the end of chunk \"" + type + "\" at byte " +
                      std::to_string(at);
            return false;
        }
        const std::size_t end = at + kChunkFrame + length;
        const auto data = bytes.subspan(at + 8, length);
        const bool critical = type[0] >= 'A' && type[0] <= 'Z';
        const bool crcMatches =
            PngCrc32(bytes.subspan(at + 4, length + 4)) == Big32(bytes, end - 4);
        if (!crcMatches && critical) return corrupt(std::string(type) + ": CRC error", end);

        if (!sawHeader) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length != kIhdrLength) {
                return corrupt("the first chunk is not a 13-byte IHDR header", at);
            }
            if (const std::string fault = HeaderFault(data); !fault.empty()) {
                return corrupt("IHDR: " + fault, end);
            }
            facts.width = Big32(data, 0);
            facts.height = Big32(data, 4);
            facts.bitDepth = data[8];
            facts.palette = data[9] == 3;
            // Refused before the rest is walked: nothing of such an image is read.
            if (std::uint64_t{facts.width} * facts.height > kMaxGreyImagePixels) {
                problem = "the image is " + std::to_string(facts.width) + " x " +
                          std::to_string(facts.height) + " pixels, more than the " +
                          std::to_string(kMaxGreyImagePixels) + " pixels a map may have";
                return false;
            }
            sawHeader = true;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            if (!sawImageData) return corrupt("the file has no IDAT image data", at);
            return true;
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            // Decoders drop the entries that no index of the bit depth reaches.
            facts.paletteEntries = std::min(length / 3, 1u << facts.bitDepth);
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (!sawImageData) facts.imageDataAt = at;
            sawImageData = true;
        } else if (!crcMatches || sawImageData) {
            // A damaged ancillary chunk is dropped, and colour-space chunks
            // count only before the image data.
        } else if (std::memcmp(type, "sRGB", 4) == 0) {
            facts.srgb = true;
        } else if (std::memcmp(type, "gAMA", 4) == 0 && length == 4) {
            facts.gamma = Big32(data, 0);
        }
        at = end;
    }
}

std::string PaletteIndexFault(const PngFacts& facts, unsigned largestIndex) {
    if (!facts.palette || largestIndex < facts.paletteEntries) return {};
    return "corrupt PNG data: a pixel uses palette entry " + std::to_string(largestIndex) +
           ", past the " + std::to_string(facts.paletteEntries) +
           " colours of the palette (found in the image data at byte " +
           std::to_string(facts.imageDataAt) + ")";
}

}  // namespace standin::detail
