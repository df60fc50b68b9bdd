#include "png_test_writer.h"

#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <fstream>
#include <random>
#include <string>

namespace pngtest {
namespace {

int channelsOf(int colourType) {
    switch (colourType) {
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return 4;
        default:
            return 1;  // grey, palette
    }
}

void appendBytes(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void noFlush(png_structp) {}

// Packs the samples of each row at the layout's bit depth (big-endian, as PNG).
std::vector<std::vector<png_byte>> packRows(const PngSpec& pngLayout) {
    const int channels = channelsOf(pngLayout.colourType);
    const std::size_t perRow = static_cast<std::size_t>(pngLayout.width) * channels;
    std::vector<std::vector<png_byte>> rows(pngLayout.height);
    for (int y = 0; y < pngLayout.height; ++y) {
        std::vector<png_byte>& row = rows[y];
        row.assign((perRow * pngLayout.bitDepth + 7) / 8, 0);
        for (std::size_t i = 0; i < perRow; ++i) {
            const unsigned s = pngLayout.samples.at(y * perRow + i);
            if (pngLayout.bitDepth == 16) {
                row[2 * i] = static_cast<png_byte>(s >> 8);
                row[2 * i + 1] = static_cast<png_byte>(s & 0xff);
            } else if (pngLayout.bitDepth == 8) {
                row[i] = static_cast<png_byte>(s);
            } else {
                const std::size_t bit = i * pngLayout.bitDepth;
                const int shift = 8 - pngLayout.bitDepth - static_cast<int>(bit % 8);
                row[bit / 8] |= static_cast<png_byte>(s << shift);
            }
        }
    }
    return rows;
}

// Only trivially destructible locals: libpng leaves by longjmp on an error.
bool encode(png_structp png, png_infop info, const PngSpec& pngLayout, std::vector<png_color>& colours,
            std::vector<png_bytep>& pointers) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, pngLayout.width, pngLayout.height, pngLayout.bitDepth, pngLayout.colourType,
                 pngLayout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!colours.empty()) png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
    if (pngLayout.srgbChunk) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    if (pngLayout.gamma) png_set_gAMA(png, info, *pngLayout.gamma);
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const PngSpec& pngLayout) {
    std::vector<std::uint8_t> out;
    std::vector<std::vector<png_byte>> rows = packRows(pngLayout);
    std::vector<png_bytep> pointers;
    for (auto& row : rows) pointers.push_back(row.data());
    std::vector<png_color> colours;
    for (const auto& c : pngLayout.palette) colours.push_back({c[0], c[1], c[2]});
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendBytes, noFlush);
    const bool ok = encode(png, info, pngLayout, colours, pointers);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(ok) << "libpng could not write the test image";
    return out;
}

std::uint32_t PngCrc(std::span<const std::uint8_t> bytes) {
    std::uint32_t crc = 0xffffffffu;
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xffffffffu;
}

void WriteBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << "cannot write " << path;
}

TempDir::TempDir() {
    std::random_device entropy;
    path_ = std::filesystem::temp_directory_path() /
            ("nacrelle-shading-test-" + std::to_string(entropy()) + std::to_string(entropy()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace pngtest
