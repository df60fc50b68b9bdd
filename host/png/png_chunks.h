// The chunk structure of a PNG file, checked before any decoder sees it:
// every chunk lies inside the file and its CRC matches, the header is sound
// and the image is not larger than a map may be. Both platforms' readers use
// it, so a damaged file is refused with the same words by libpng and WIC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace standin::detail {

/// The CRC-32 that PNG chunks carry (ISO 3309), over `bytes`.
std::uint32_t PngCrc32(std::span<const std::uint8_t> bytes);

/// What the chunks before the image data say about the samples.
struct PngFacts {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool srgb = false;            // an sRGB chunk
    std::uint32_t gamma = 0;      // a gAMA chunk's value (times 100000); 0 when absent
    std::size_t imageDataAt = 0;  // where the first IDAT chunk starts
    bool palette = false;         // colour type 3: pixels are palette indices
    unsigned bitDepth = 0;        // bits a sample (a palette index) as stored
    unsigned paletteEntries = 0;  // colours in the PLTE chunk, as many as an index reaches at most
};

/// Walks the chunks of `bytes` (a PNG signature already checked) from the
/// first to IEND. False, with `problem` set to what is wrong and at which
/// byte, when a chunk runs past the end of the file, a critical chunk's CRC
/// does not match (an ancillary chunk with a bad CRC is ignored, as decoders
/// do), the first chunk is no valid IHDR, or the image has more pixels than
/// kMaxGreyImagePixels; the last is found before the rest of the file is
/// walked. A chunk declaring more bytes than the file holds is refused before
/// anything is allocated for it.
bool WalkPngChunks(std::span<const std::uint8_t> bytes, PngFacts& facts, std::string& problem);

/// What is wrong with a palette image whose pixels index up to entry
/// `largestIndex` (decoders would show the entries past the palette as
/// black), or "" when every index lies within the palette.
std::string PaletteIndexFault(const PngFacts& facts, unsigned largestIndex);

}  // namespace standin::detail
