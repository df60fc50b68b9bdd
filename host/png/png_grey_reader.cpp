#include "png/png_grey_reader.h"

#include "png_chunks.h"
#include "png_transfer.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace standin {
namespace {

// What libpng's callbacks share with the decoder. libpng leaves a failing
// call by longjmp, so everything a callback touches is trivially destructible
// and owned by a frame that the jump does not cross.
struct DecodeState {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset;  // bytes handed to libpng so far
    char problem[256];   // first problem found; empty while all is well
};

void readFromSpan(png_structp png, png_bytep out, size_t count) {
    auto* state = static_cast<DecodeState*>(png_get_io_ptr(png));
    const std::size_t left = state->size - state->offset;
    if (count > left) {
        std::snprintf(state->problem, sizeof state->problem,
                      "truncated: the file ends at byte %zu, %zu bytes short of the PNG data",
                      state->size, count - left);
        png_error(png, "truncated");
    }
    std::memcpy(out, state->data + state->offset, count);
    state->offset += count;
}

[[noreturn]] void onError(png_structp png, png_const_charp message) {
    auto* state = static_cast<DecodeState*>(png_get_error_ptr(png));
    if (state->problem[0] == '\0') {
        std::snprintf(state->problem, sizeof state->problem,
                      "corrupt PNG data: %s (found at byte %zu)", message, state->offset);
    }
    png_longjmp(png, 1);
}

// Problems in ancillary chunks (a bad CRC, an unknown colour profile) leave
// the image itself intact: libpng drops the chunk and carries on.
void onWarning(png_structp, png_const_charp) {}

/// Owns libpng's read and info structures.
class PngReadHandle {
public:
    explicit PngReadHandle(DecodeState* state) {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, state, onError, onWarning);
        if (png != nullptr) info = png_create_info_struct(png);
    }
    ~PngReadHandle() {
        if (png != nullptr)
            png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    }
    PngReadHandle(const PngReadHandle&) = delete;
    PngReadHandle& operator=(const PngReadHandle&) = delete;

    png_structp png = nullptr;
    png_infop info = nullptr;
};

struct Layout {
    png_uint_32 width;
    png_uint_32 height;
    int channels;  // after the transforms: 1 (grey or palette index) or 3 (RGB), maybe with alpha
    int bitDepth;  // after the transforms: 8 or 16
    std::size_t rowBytes;
};

// Reads the header chunks and sets the transforms up. Only trivially
// destructible locals: libpng may longjmp back to the setjmp here.
bool readLayout(png_structp png, png_infop info, DecodeState* state, Layout* layout) {
    if (setjmp(png_jmpbuf(png))) return false;

    png_set_read_fn(png, state, readFromSpan);
    // Bounds metadata chunks (profiles, compressed text) that would otherwise
    // decompress to arbitrary sizes.
    png_set_chunk_malloc_max(png, 16u << 20);
    png_read_info(png, info);

    // The chunk walk has refused an image too large for a map.
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);

    const int colourType = png_get_color_type(png, info);
    // Palette indices arrive one a byte, to be checked against the palette
    // before they are looked up: libpng would show an index past it as black.
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_packing(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    png_set_strip_alpha(png);
    png_set_interlace_handling(png);

    png_read_update_info(png, info);
    layout->width = width;
    layout->height = height;
    layout->channels = png_get_channels(png, info);
    layout->bitDepth = png_get_bit_depth(png, info);
    layout->rowBytes = png_get_rowbytes(png, info);
    return true;
}

// Decodes every row (all passes of an interlaced image) and checks the rest of
// the file up to IEND.
bool readRows(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

/// The colours of the palette indices in `rows` (one byte each), as 8-bit
/// RGB rows; `layout` is changed to match.
std::vector<png_byte> lookUpPalette(png_structp png, png_infop info, Layout& layout,
                                    const std::vector<png_byte>& rows) {
    png_colorp colours = nullptr;
    int count = 0;
    png_get_PLTE(png, info, &colours, &count);
    std::vector<png_byte> rgb;
    rgb.reserve(rows.size() * 3);
    for (const png_byte index : rows) {
        rgb.insert(rgb.end(), {colours[index].red, colours[index].green, colours[index].blue});
    }
    layout.channels = 3;
    layout.rowBytes = static_cast<std::size_t>(layout.width) * 3;
    return rgb;
}

void convertRows(const Layout& layout, const detail::PngFacts& facts,
                 const std::vector<png_byte>& rows, GreyImage& out) {
    const std::vector<float> table =
        detail::LinearSampleTable(facts, layout.bitDepth == 16 ? 65535u : 255u);
    const int bytesPerSample = layout.bitDepth == 16 ? 2 : 1;
    const int colourChannels = layout.channels >= 3 ? 3 : 1;
    const std::size_t pixelBytes = static_cast<std::size_t>(layout.channels) * bytesPerSample;
    auto sampleAt = [bytesPerSample](const png_byte* p) -> unsigned {
        return bytesPerSample == 2 ? (unsigned(p[0]) << 8) | p[1] : p[0];  // PNG is big-endian
    };

    out.width = static_cast<int>(layout.width);
    out.height = static_cast<int>(layout.height);
    out.pixels.resize(static_cast<std::size_t>(layout.width) * layout.height);
    float* target = out.pixels.data();
    for (png_uint_32 y = 0; y < layout.height; ++y) {
        const png_byte* pixel = rows.data() + y * layout.rowBytes;
        for (png_uint_32 x = 0; x < layout.width; ++x, pixel += pixelBytes) {
            const unsigned r = sampleAt(pixel);
            if (colourChannels == 1) {
                *target++ = table[r];
                continue;
            }
            *target++ = detail::LinearGrey(table, r, sampleAt(pixel + bytesPerSample),
                                           sampleAt(pixel + 2 * bytesPerSample));
        }
    }
}

}  // namespace

bool DecodePngGrey(std::span<const std::uint8_t> bytes, std::string_view sourceName,
                   GreyImage& image, std::string& error) {
    auto fail = [&](const char* problem) {
        error.assign(sourceName);
        error += ": ";
        error += problem;
        return false;
    };
    if (bytes.empty()) return fail("the file is empty");
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
        return fail("not a PNG file (no PNG signature at byte 0)");
    }

    // The walk comes first: libpng would allocate and clear whatever length a
    // chunk declares before reading it, and the walk words damaged files as
    // the Windows reader does.
    detail::PngFacts facts;
    std::string problem;
    if (!detail::WalkPngChunks(bytes, facts, problem)) return fail(problem.c_str());

    DecodeState state{bytes.data(), bytes.size(), 0, {}};
    try {
        PngReadHandle handle(&state);
        if (handle.png == nullptr || handle.info == nullptr) return fail("out of memory");

        Layout layout{};
        if (!readLayout(handle.png, handle.info, &state, &layout)) return fail(state.problem);
        if (layout.bitDepth != 8 && layout.bitDepth != 16) {
            return fail("unsupported sample layout after conversion");
        }

        std::vector<png_byte> rows(layout.rowBytes * layout.height);
        std::vector<png_bytep> rowPointers(layout.height);
        for (png_uint_32 y = 0; y < layout.height; ++y) {
            rowPointers[y] = rows.data() + y * layout.rowBytes;
        }
        if (!readRows(handle.png, handle.info, rowPointers.data())) return fail(state.problem);
        if (facts.palette) {
            // Every row is as wide as the image: no padding bytes to skip.
            const unsigned largest =
                rows.empty() ? 0u : *std::max_element(rows.begin(), rows.end());
            if (const std::string fault = detail::PaletteIndexFault(facts, largest);
                !fault.empty()) {
                return fail(fault.c_str());
            }
            rows = lookUpPalette(handle.png, handle.info, layout, rows);
        }

        GreyImage decoded;
        convertRows(layout, facts, rows, decoded);
        image = std::move(decoded);
        return true;
    } catch (const std::bad_alloc&) {
        return fail("not enough memory to decode the image");
    }
}

}  // namespace standin
