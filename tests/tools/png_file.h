// Reading the program's PNG files back, and writing grey PNG files for it to
// read: libpng on POSIX systems, the Windows Imaging Component on Windows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace nacrelle::tools::testing {

/// A decoded PNG file: samples as stored (8 or 16 bits), RGBA order.
struct PngImage {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int channels = 0;
    bool hasSrgbChunk = false;
    std::vector<std::uint16_t> samples;  ///< row-major, `channels` per pixel

    std::uint16_t at(int x, int y, int channel) const {
        return samples[(static_cast<std::size_t>(y) * width + x) * channels + channel];
    }
};

/// Decodes the PNG file at `path`; throws std::runtime_error (with libpng's
/// reason) when it is not a valid PNG file.
PngImage readPng(const std::filesystem::path& path);

/// Writes an 8-bit grey PNG file of width x height values (row-major),
/// declared linear (gAMA 1.0) so that value v reads back as v / 255.
void writeGreyPng(const std::filesystem::path& path, int width, int height,
                  const std::vector<std::uint8_t>& values);

}  // namespace nacrelle::tools::testing
