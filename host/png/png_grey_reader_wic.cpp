// Reading PNG files into linear grey images on Windows: the Windows Imaging
// Component decodes the samples; the transfer function comes from the file's
// own sRGB and gAMA chunks, as with libpng elsewhere.
#include <cstring>
#include <vector>

#include "png/png_grey_reader.h"
#include "png_chunks.h"
#include "png_transfer.h"
#include "wic.h"

namespace standin {
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
        const std::vector<float> table = detail::LinearSampleTable(header, 65535u);
        GreyImage decoded;
        decoded.width = static_cast<int>(width);
        decoded.height = static_cast<int>(height);
        decoded.pixels.resize(static_cast<std::size_t>(width) * height);
        for (std::size_t i = 0; i < decoded.pixels.size(); ++i) {
            const unsigned r = samples[4 * i], g = samples[4 * i + 1], b = samples[4 * i + 2];
            decoded.pixels[i] = detail::LinearGrey(table, r, g, b);
        }
        image = std::move(decoded);
        return true;
    } catch (const std::bad_alloc&) {
        return fail("not enough memory to decode the image");
    }
}

}  // namespace standin
