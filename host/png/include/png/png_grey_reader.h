// Reading PNG files into linear grey images.
//
// Every PNG colour type and bit depth is accepted: grey, grey with alpha,
// RGB, RGBA and palette images, 1 to 16 bits a sample, interlaced or not.
// Samples are converted to linear values with the transfer function the file
// declares: an sRGB chunk means the sRGB curve, a gAMA chunk a power law
// (gAMA 1.0: the samples are already linear); a file that declares neither is
// taken as sRGB, as image editors write it. Colour pixels become their
// luminance in linear light (Rec. 709 / sRGB primaries: 0.2126 R + 0.7152 G +
// 0.0722 B); a pixel with R = G = B keeps that value exactly. Alpha and tRNS
// transparency are not used: the image is a map of values, not a cut-out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "png/grey_image.h"

namespace standin {

/// Largest image accepted, in pixels (8192 x 8192); larger ones are refused
/// with an error rather than exhausting memory.
inline constexpr std::size_t kMaxGreyImagePixels = std::size_t(1) << 26;
/// Largest file accepted, in bytes.
inline constexpr std::size_t kMaxPngFileBytes = std::size_t(1) << 30;

/// Decodes the PNG file held in `bytes`. On success fills `image` and returns
/// true. On failure returns false, leaves `image` untouched and sets `error`
/// to a message that starts with `sourceName` and says what is wrong and at
/// which byte (not a PNG, truncated, corrupt data, too large ...). Safe on any
/// input: nothing is read outside `bytes` and nothing leaks.
bool DecodePngGrey(std::span<const std::uint8_t> bytes, std::string_view sourceName,
                   GreyImage& image, std::string& error);

/// Reads and decodes the PNG file at `path` (bytes on POSIX systems, UTF-8 on
/// Windows: see NarrowFileName). Like DecodePngGrey, and
/// also fails with a message naming the file when it cannot be opened or read.
bool ReadPngGreyFile(const std::string& path, GreyImage& image, std::string& error);

}  // namespace standin
