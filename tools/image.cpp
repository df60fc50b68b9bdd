#include "tools/image.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <stdexcept>

#include "tools/parallel_rows.h"

namespace nacrelle::tools {

Image::Image(int width, int height, Rgba fill)
    : width_(width), height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

Image::Image(int width, int height, Unfilled)
    : width_(width), height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

void Image::set(int x, int y, Rgba colour) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) at(x, y) = colour;
}

float linearToSrgb(float linear) {
    if (!(linear > 0.0f)) return 0.0f;
    if (linear >= 1.0f) return 1.0f;
    return linear <= 0.0031308f ? 12.92f * linear
                                : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
}

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

std::uint16_t quantise(float value, bool srgb, int maxCode) {
    float v = std::clamp(value, 0.0f, 1.0f);
    if (!(v == v)) v = 0.0f;
    if (srgb) v = linearToSrgb(v);
    return static_cast<std::uint16_t>(std::lround(v * static_cast<float>(maxCode)));
}

}  // namespace

std::vector<std::uint8_t> encodePng(const Image& image, const PngEncoding& encoding) {
    if (encoding.bitDepth != 8 && encoding.bitDepth != 16) {
        throw std::invalid_argument("PNG bit depth must be 8 or 16");
    }
    const int bytesPerChannel = encoding.bitDepth / 8;
    const int maxCode = encoding.bitDepth == 8 ? 255 : 65535;

    // Rows are converted first: libpng's error path jumps over C++ frames.
    const std::size_t rowBytes = static_cast<std::size_t>(image.width()) * 4 * bytesPerChannel;
    std::vector<std::uint8_t> pixels(rowBytes * static_cast<std::size_t>(image.height()));
    // The conversion (a power per channel for sRGB) costs as much as a plain
    // render's shading, so the rows convert in parallel too.
    forEachRow(image.height(), encoding.threads, [&](int y) {
        std::size_t i = rowBytes * static_cast<std::size_t>(y);
        for (int x = 0; x < image.width(); ++x) {
            const Rgba& p = image.at(x, y);
            const std::uint16_t codes[4] = {quantise(p.r, encoding.srgb, maxCode),
                                            quantise(p.g, encoding.srgb, maxCode),
                                            quantise(p.b, encoding.srgb, maxCode),
                                            quantise(p.a, false, maxCode)};
            for (std::uint16_t code : codes) {
                if (bytesPerChannel == 2) pixels[i++] = static_cast<std::uint8_t>(code >> 8);
                pixels[i++] = static_cast<std::uint8_t>(code & 0xff);
            }
        }
    });

    PngSink sink;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, recordError,
                                              ignoreWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    const bool written = info != nullptr &&
                         writeRgbaPng(png, info, &sink, image.width(), image.height(),
                                      encoding.bitDepth, encoding.srgb, pixels.data(), rowBytes);
    png_destroy_write_struct(&png, &info);
    if (!written) {
        throw std::runtime_error(std::string("PNG encoder: ") +
                                 (sink.error[0] != 0 ? sink.error : "out of memory"));
    }
    return std::move(sink.bytes);
}

}  // namespace nacrelle::tools
