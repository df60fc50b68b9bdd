// The test images through libpng.
#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>

#include "png_test_writer.h"

namespace pngtest {
namespace {

void appendBytes(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void noFlush(png_structp) {}

// Packs the samples of each row at the layout's bit depth (big-endian, as PNG).
std::vector<std::vector<png_byte>> packRows(const PngSpec& pngLayout) {
    const std::size_t perRow =
        static_cast<std::size_t>(pngLayout.width) * ChannelsOf(pngLayout.colourType);
    std::vector<std::vector<png_byte>> rows(pngLayout.height);
    for (int y = 0; y < pngLayout.height; ++y) {
        if (pngLayout.samples.size() < (y + 1) * perRow) throw std::out_of_range("samples");
        rows[y] = PackRow(std::span(pngLayout.samples).subspan(y * perRow, perRow),
                          pngLayout.bitDepth);
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
    // Damaged images too: a pixel may use an entry past the palette.
    png_set_check_for_invalid_index(png, 0);
    const bool ok = encode(png, info, pngLayout, colours, pointers);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(ok) << "libpng could not write the test image";
    return out;
}

}  // namespace pngtest

