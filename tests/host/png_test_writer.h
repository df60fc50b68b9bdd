// Writes small PNG files with libpng for the image-reading tests.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>
#include <vector>

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
