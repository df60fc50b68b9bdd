#include "png_test_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

namespace pngtest {

int ChannelsOf(int colourType) {
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

std::vector<std::uint8_t> PackRow(std::span<const unsigned> samples, int bitDepth) {
    std::vector<std::uint8_t> row((samples.size() * bitDepth + 7) / 8, 0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const unsigned s = samples[i];
        if (bitDepth == 16) {
            row[2 * i] = static_cast<std::uint8_t>(s >> 8);
            row[2 * i + 1] = static_cast<std::uint8_t>(s & 0xff);
        } else if (bitDepth == 8) {
            row[i] = static_cast<std::uint8_t>(s);
        } else {
            const std::size_t bit = i * bitDepth;
            const int shift = 8 - bitDepth - static_cast<int>(bit % 8);
            row[bit / 8] |= static_cast<std::uint8_t>(s << shift);
        }
    }
    return row;
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
