// Writes small PNG files for the image-reading tests: with libpng on POSIX
// systems; on Windows, where there is no libpng, with uncompressed (stored)
// deflate blocks, so that the same images reach the platform's decoder.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#ifdef _WIN32
// The PNG colour types, as libpng's png.h names them.
#define PNG_COLOR_TYPE_GRAY 0
#define PNG_COLOR_TYPE_RGB 2
#define PNG_COLOR_TYPE_PALETTE 3
#define PNG_COLOR_TYPE_GRAY_ALPHA 4
#define PNG_COLOR_TYPE_RGB_ALPHA 6
#else
#include <png.h>
#endif

namespace pngtest {

struct PngSpec {
    PngSpec(int w, int h, int type, int depth, std::vector<unsigned> values,
            std::vector<std::array<std::uint8_t, 3>> colours = {},
            std::optional<double> fileGamma = std::nullopt, bool srgb = false,
            bool interlace = false)
        : width(w),
          height(h),
          colourType(type),
          bitDepth(depth),
          samples(std::move(values)),
          palette(std::move(colours)),
          gamma(fileGamma),
          srgbChunk(srgb),
          interlaced(interlace) {}

    int width = 1;
    int height = 1;
    int colourType = 0;  ///< PNG_COLOR_TYPE_*
    int bitDepth = 8;
    /// Row-major samples, as many per pixel as the colour type has channels
    /// (a palette image: one index per pixel).
    std::vector<unsigned> samples;
    std::vector<std::array<std::uint8_t, 3>> palette;
    /// gAMA chunk with this file gamma (0.45455 for a 2.2 curve), or none.
    std::optional<double> gamma;
    bool srgbChunk = false;
    bool interlaced = false;
};

/// The PNG file of `pngLayout`; fails the running test on a libpng error.
std::vector<std::uint8_t> EncodePng(const PngSpec& pngLayout);

/// Samples per pixel of a PNG colour type (a palette image: one index).
int ChannelsOf(int colourType);

/// One row of `samples` packed at `bitDepth`, big-endian as in PNG.
std::vector<std::uint8_t> PackRow(std::span<const unsigned> samples, int bitDepth);

/// The CRC-32 of PNG chunks over `bytes`.
std::uint32_t PngCrc(std::span<const std::uint8_t> bytes);

void WriteBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

/// A fresh directory for one test's files, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace pngtest
