// The test images without a PNG library: the pixel data goes into zlib
// stored (uncompressed) blocks, which every decoder reads, row filter 0,
// Adam7 passes for interlaced images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "png_test_writer.h"

namespace pngtest {
namespace {

void appendBig32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void appendChunk(std::vector<std::uint8_t>& out, const char* type,
                 const std::vector<std::uint8_t>& data) {
    appendBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    appendBig32(out, PngCrc(std::span(out).subspan(typeAt)));
}

/// The zlib stream of `raw` in stored blocks.
std::vector<std::uint8_t> storedZlib(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> out{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(raw.size() - at, 65535);
        const bool last = at + length == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(length & 0xff));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(~length & 0xff));
        out.push_back(static_cast<std::uint8_t>((~length >> 8) & 0xff));
        out.insert(out.end(), raw.begin() + at, raw.begin() + at + length);
        at += length;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (const std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    appendBig32(out, b << 16 | a);
    return out;
}

/// The filtered scanlines (filter 0) of the pixels at x0 + k dx, y0 + k dy.
void appendPass(std::vector<std::uint8_t>& raw, const PngSpec& png, int x0, int y0, int dx,
                int dy) {
    const int channels = ChannelsOf(png.colourType);
    std::vector<unsigned> row;
    for (int y = y0; y < png.height; y += dy) {
        row.clear();
        for (int x = x0; x < png.width; x += dx) {
            const std::size_t first = (static_cast<std::size_t>(y) * png.width + x) * channels;
            for (int c = 0; c < channels; ++c) row.push_back(png.samples.at(first + c));
        }
        if (row.empty()) return;  // an empty pass has no scanlines at all
        raw.push_back(0);
        const std::vector<std::uint8_t> packed = PackRow(row, png.bitDepth);
        raw.insert(raw.end(), packed.begin(), packed.end());
    }
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const PngSpec& png) {
    std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    appendBig32(header, static_cast<std::uint32_t>(png.width));
    appendBig32(header, static_cast<std::uint32_t>(png.height));
    header.insert(header.end(), {static_cast<std::uint8_t>(png.bitDepth),
                                 static_cast<std::uint8_t>(png.colourType), 0, 0,
                                 static_cast<std::uint8_t>(png.interlaced ? 1 : 0)});
    appendChunk(out, "IHDR", header);
    if (png.gamma) {
        std::vector<std::uint8_t> gamma;
        appendBig32(gamma, static_cast<std::uint32_t>(std::lround(*png.gamma * 100000.0)));
        appendChunk(out, "gAMA", gamma);
    }
    if (png.srgbChunk) appendChunk(out, "sRGB", {0});  // perceptual intent
    if (!png.palette.empty()) {
        std::vector<std::uint8_t> colours;
        for (const auto& c : png.palette) colours.insert(colours.end(), c.begin(), c.end());
        appendChunk(out, "PLTE", colours);
    }
    std::vector<std::uint8_t> raw;
    if (png.interlaced) {
        static constexpr int kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                             {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        for (const auto& pass : kAdam7) appendPass(raw, png, pass[0], pass[1], pass[2], pass[3]);
    } else {
        appendPass(raw, png, 0, 0, 1, 1);
    }
    appendChunk(out, "IDAT", storedZlib(raw));
    appendChunk(out, "IEND", {});
    return out;
}

}  // namespace pngtest
