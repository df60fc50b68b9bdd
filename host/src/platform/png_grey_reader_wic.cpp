// Reading PNG files into linear grey images on Windows: the Windows Imaging
// Component decodes the samples; the transfer function comes from the file's
// own sRGB and gAMA chunks, as with libpng elsewhere.
#include <cmath>
#include <cstring>
#include <vector>

#include "standin/png_grey_reader.h"
#include "png_chunks.h"
#include "wic.h"

namespace standin {
namespace {

double SrgbToLinear(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

/// Linear value of every 16-bit sample value (8-bit samples arrive as s * 257).
std::vector<float> LinearTable(const detail::PngFacts& header) {
    // An sRGB chunk wins; a gAMA chunk gives a power law; neither means sRGB.
    enum class Transfer { kSrgb, kPower, kLinear } transfer = Transfer::kSrgb;
    double exponent = 1.0;
    if (!header.srgb && header.gamma > 0) {
        exponent = 100000.0 / header.gamma;
        transfer = std::fabs(exponent - 1.0) < 1e-4 ? Transfer::kLinear : Transfer::kPower;
    }
    std::vector<float> table(65536);
    for (unsigned s = 0; s <= 65535u; ++s) {
        const double encoded = static_cast<double>(s) / 65535.0;
        double linear = encoded;
        if (transfer == Transfer::kSrgb) {
            linear = SrgbToLinear(encoded);
        } else if (transfer == Transfer::kPower) {
            linear = std::pow(encoded, exponent);
        }
        table[s] = static_cast<float>(linear);
    }
    return table;
}

}  // namespace

bool DecodePngGrey(std::span<const std::uint8_t> bytes, std::string_view sourceName,
                   GreyImage& image, std::string& error) {
    auto fail = [&](const std::string& problem) {
        error.assign(sourceName);
        error += ": ";
        error += problem;
        return false;
    };
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.empty()) return fail("the file is empty");
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) {
        return fail("not a PNG file (no PNG signature at byte 0)");
    }
    // WIC checks no CRC and reports no position: the walk refuses damaged
    // chunks, bad headers and oversized images first, in the words of the
    // libpng reader.
    detail::PngFacts header;
    std::string problem;
    if (!detail::WalkPngChunks(bytes, header, problem)) return fail(problem);
    const auto undecodable = [&] {
        return fail("corrupt PNG data: " + problem + " (found in the image data at byte " +
                    std::to_string(header.imageDataAt) + ")");
    };
    try {
        // WIC would show an index past the palette as black, as libpng does.
        unsigned largest = 0;
        if (header.palette && !detail::LargestPaletteIndex(bytes, largest, problem)) {
            return undecodable();
        }
        if (const std::string fault = detail::PaletteIndexFault(header, largest); !fault.empty()) {
            return fail(fault);
        }
        std::uint32_t width = 0, height = 0;
        std::vector<std::uint16_t> samples;
        if (!detail::DecodePngRgba16(bytes, width, height, samples, problem)) return undecodable();
        const std::vector<float> table = LinearTable(header);
        GreyImage decoded;
        decoded.width = static_cast<int>(width);
        decoded.height = static_cast<int>(height);
        decoded.pixels.resize(static_cast<std::size_t>(width) * height);
        for (std::size_t i = 0; i < decoded.pixels.size(); ++i) {
            const unsigned r = samples[4 * i], g = samples[4 * i + 1], b = samples[4 * i + 2];
            decoded.pixels[i] =
                r == g && g == b
                    ? table[r]
                    : static_cast<float>(0.2126 * table[r] + 0.7152 * table[g] + 0.0722 * table[b]);
        }
        image = std::move(decoded);
        return true;
    } catch (const std::bad_alloc&) {
        return fail("not enough memory to decode the image");
    }
}

}  // namespace standin
