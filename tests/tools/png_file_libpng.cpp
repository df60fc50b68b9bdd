#include "png_file.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

namespace nacrelle::tools::testing {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File open(const std::filesystem::path& path, const char* mode) {
    File file(std::fopen(path.c_str(), mode));
    if (!file) throw std::runtime_error("cannot open " + path.string());
    return file;
}

struct PngError {
    char message[256] = "";
};

void recordError(png_structp png, png_const_charp message) {
    auto* error = static_cast<PngError*>(png_get_error_ptr(png));
    std::snprintf(error->message, sizeof error->message, "%s", message);
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// libpng reports errors by longjmp: these frames hold nothing with a
// destructor, and their callers free what they allocated.
bool decode(png_structp png, png_infop info, std::FILE* file, PngImage& image,
            std::vector<png_bytep>& rows, std::vector<std::uint8_t>& bytes) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    image.width = static_cast<int>(png_get_image_width(png, info));
    image.height = static_cast<int>(png_get_image_height(png, info));
    image.bitDepth = png_get_bit_depth(png, info);
    image.channels = png_get_channels(png, info);
    image.hasSrgbChunk = png_get_valid(png, info, PNG_INFO_sRGB) != 0;
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    bytes.resize(rowBytes * static_cast<std::size_t>(image.height));
    rows.resize(static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) rows[y] = bytes.data() + rowBytes * y;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

bool encodeGrey(png_structp png, png_infop info, std::FILE* file, int width, int height,
                const std::uint8_t* values) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_gAMA(png, info, 1.0);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, values + static_cast<std::size_t>(y) * width);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

PngImage readPng(const std::filesystem::path& path) {
    File file = open(path, "rb");
    PngError error;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, recordError, ignoreWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    PngImage image;
    std::vector<png_bytep> rows;
    std::vector<std::uint8_t> bytes;
    const bool ok = info != nullptr && decode(png, info, file.get(), image, rows, bytes);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) throw std::runtime_error(path.string() + ": not a valid PNG file: " + error.message);

    const std::size_t count = static_cast<std::size_t>(image.width) * image.height * image.channels;
    image.samples.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        image.samples[i] = image.bitDepth == 16
                               ? static_cast<std::uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1])
                               : bytes[i];
    }
    return image;
}

void writeGreyPng(const std::filesystem::path& path, int width, int height,
                  const std::vector<std::uint8_t>& values) {
    if (values.size() != static_cast<std::size_t>(width) * height) {
        throw std::invalid_argument("writeGreyPng: wrong number of values");
    }
    File file = open(path, "wb");
    PngError error;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, recordError, ignoreWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    const bool ok =
        info != nullptr && encodeGrey(png, info, file.get(), width, height, values.data());
    png_destroy_write_struct(&png, &info);
    if (!ok) throw std::runtime_error(path.string() + ": cannot write PNG: " + error.message);
}

}  // namespace nacrelle::tools::testing
