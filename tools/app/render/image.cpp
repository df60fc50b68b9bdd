#include "app/render/image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "png/png_codec.h"
#include "app/render/parallel_rows.h"

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

std::uint16_t quantise(float value, bool srgb, int maxCode) {
    float v = std::clamp(value, 0.0f, 1.0f);
    if (!(v == v)) v = 0.0f;
    if (srgb) v = linearToSrgb(v);
    return static_cast<std::uint16_t>(std::lround(v * static_cast<float>(maxCode)));
}

}  // namespace

std::vector<std::uint8_t> encodePixels(const Image& image, const PngEncoding& encoding) {
    if (encoding.bitDepth != 8 && encoding.bitDepth != 16) {
        throw std::invalid_argument("PNG bit depth must be 8 or 16");
    }
    const int bytesPerChannel = encoding.bitDepth / 8;
    const int maxCode = encoding.bitDepth == 8 ? 255 : 65535;
    const std::size_t rowBytes = static_cast<std::size_t>(image.width()) * 4 * bytesPerChannel;
    std::vector<std::uint8_t> pixels(rowBytes * static_cast<std::size_t>(image.height()));
    // The conversion (a power per channel for sRGB) costs as much as a plain
    // render's shading, so the rows convert in parallel too.
    forEachRow(image.height(), encoding.threads, [&](int y) {
        std::size_t i = rowBytes * static_cast<std::size_t>(y);
        // Runs of one colour (a background, a checker square) convert once.
        Rgba last{};
        std::uint16_t codes[4] = {};
        bool haveLast = false;
        for (int x = 0; x < image.width(); ++x) {
            const Rgba& p = image.at(x, y);
            if (!haveLast || std::memcmp(&p, &last, sizeof p) != 0) {
                codes[0] = quantise(p.r, encoding.srgb, maxCode);
                codes[1] = quantise(p.g, encoding.srgb, maxCode);
                codes[2] = quantise(p.b, encoding.srgb, maxCode);
                codes[3] = quantise(p.a, false, maxCode);
                last = p;
                haveLast = true;
            }
            for (std::uint16_t code : codes) {
                if (bytesPerChannel == 2) pixels[i++] = static_cast<std::uint8_t>(code >> 8);
                pixels[i++] = static_cast<std::uint8_t>(code & 0xff);
            }
        }
    });
    return pixels;
}

std::vector<std::uint8_t> encodePng(const Image& image, const PngEncoding& encoding) {
    // The platform's codec: libpng, or the Windows Imaging Component.
    return standin::EncodePngRgba(image.width(), image.height(), encoding.bitDepth, encoding.srgb,
                                  encodePixels(image, encoding));
}

}  // namespace nacrelle::tools
