// Encoding RGBA pixels as a PNG file with the platform's codec: libpng on
// POSIX systems, the Windows Imaging Component on Windows.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace standin {

/// The bytes of a PNG file of `width` x `height` RGBA pixels, 8 or 16 bits a
/// channel, rows top to bottom, 16-bit samples big-endian as in PNG. `srgb`
/// marks the file as sRGB (sRGB, gAMA and cHRM chunks), otherwise as linear
/// (gAMA 1.0). Throws std::runtime_error when the codec fails.
std::vector<std::uint8_t> EncodePngRgba(int width, int height, int bitDepth, bool srgb,
                                        std::span<const std::uint8_t> pixels);

}  // namespace standin
