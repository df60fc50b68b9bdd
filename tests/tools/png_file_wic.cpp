// PNG files through the Windows Imaging Component, by way of the host's own
// codec: the samples come from WIC, the header fields WIC does not report
// (bit depth, colour type, an sRGB chunk) from the file's chunks.
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "png_file.h"
#include "png/png_codec.h"
#include "wic.h"

namespace nacrelle::tools::testing {

namespace {

std::uint32_t big32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

bool hasChunk(const std::vector<std::uint8_t>& bytes, const char* type) {
    for (std::size_t at = 8; bytes.size() - at >= 12;) {
        if (std::memcmp(&bytes[at + 4], type, 4) == 0) return true;
        at += 12 + std::size_t{big32(bytes, at)};
        if (at > bytes.size()) break;
    }
    return false;
}

}  // namespace

PngImage readPng(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path.string());
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 33 || std::memcmp(bytes.data(), kSignature, 8) != 0 ||
        std::memcmp(&bytes[12], "IHDR", 4) != 0) {
        throw std::runtime_error(path.string() + ": not a valid PNG file: no PNG header");
    }
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint16_t> rgba;
    std::string error;
    if (!standin::detail::DecodePngRgba16(bytes, width, height, rgba, error)) {
        throw std::runtime_error(path.string() + ": not a valid PNG file: " + error);
    }
    PngImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.bitDepth = bytes[24];
    // Grey, grey and alpha, RGB, RGBA: which of WIC's RGBA samples the file holds.
    const int colourType = bytes[25];
    std::vector<int> kept;
    switch (colourType) {
        case 0: kept = {0}; break;
        case 4: kept = {0, 3}; break;
        case 2: case 3: kept = {0, 1, 2}; break;
        default: kept = {0, 1, 2, 3}; break;
    }
    image.channels = static_cast<int>(kept.size());
    image.hasSrgbChunk = hasChunk(bytes, "sRGB");
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    image.samples.reserve(pixels * kept.size());
    for (std::size_t i = 0; i < pixels; ++i) {
        for (const int c : kept) {
            const std::uint16_t sample = rgba[4 * i + c];
            image.samples.push_back(image.bitDepth == 16 ? sample
                                                         : static_cast<std::uint16_t>(sample / 257));
        }
    }
    return image;
}

void writeGreyPng(const std::filesystem::path& path, int width, int height,
                  const std::vector<std::uint8_t>& values) {
    if (values.size() != static_cast<std::size_t>(width) * height) {
        throw std::invalid_argument("writeGreyPng: wrong number of values");
    }
    // WIC writes grey as RGBA with equal channels; the program reads it back
    // as the same grey.
    std::vector<std::uint8_t> rgba;
    rgba.reserve(values.size() * 4);
    for (const std::uint8_t v : values) rgba.insert(rgba.end(), {v, v, v, 255});
    const std::vector<std::uint8_t> file = standin::EncodePngRgba(width, height, 8, false, rgba);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out.flush()) throw std::runtime_error(path.string() + ": cannot write PNG");
}

}  // namespace nacrelle::tools::testing
