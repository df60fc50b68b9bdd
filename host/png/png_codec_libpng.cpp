// PNG encoding with libpng.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "png/png_codec.h"

namespace standin {
namespace {

struct PngSink {
    std::vector<std::uint8_t> bytes;
    char error[256] = "";
};

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    sink->bytes.insert(sink->bytes.end(), data, data + length);
}

void flushNothing(png_structp) {}

void recordError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    std::snprintf(sink->error, sizeof sink->error, "%s", message);
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// libpng reports errors by longjmp, so this frame holds nothing that needs a
// destructor.
bool writeRgbaPng(png_structp png, png_infop info, PngSink* sink, int width, int height,
                  int bitDepth, bool srgb, const std::uint8_t* pixels, std::size_t rowBytes) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, sink, appendBytes, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 bitDepth, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (srgb) {
        png_set_sRGB_gAMA_and_cHRM(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    } else {
        png_set_gAMA(png, info, 1.0);
    }
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, pixels + rowBytes * static_cast<std::size_t>(y));
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodePngRgba(int width, int height, int bitDepth, bool srgb,
                                        std::span<const std::uint8_t> pixels) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4 * (bitDepth / 8);
    PngSink sink;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, recordError,
                                              ignoreWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    const bool written = info != nullptr && writeRgbaPng(png, info, &sink, width, height,
                                                         bitDepth, srgb, pixels.data(), rowBytes);
    png_destroy_write_struct(&png, &info);
    if (!written) {
        throw std::runtime_error(std::string("PNG encoder: ") +
                                 (sink.error[0] != 0 ? sink.error : "out of memory"));
    }
    return std::move(sink.bytes);
}

}  // namespace standin
