// The platform's PNG codec written and read back: every sample keeps its
// value, in both depths, and the file says how its samples are encoded.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "png/grey_image.h"
#include "png/png_codec.h"
#include "png/png_grey_reader.h"

namespace {

TEST(PngCodec, LinearGreySamplesSurviveTheRoundTripInBothDepths) {
    for (int depth : {8, 16}) {
        const int width = 7, height = 3;
        const int maxCode = depth == 8 ? 255 : 65535;
        std::vector<std::uint8_t> pixels;
        std::vector<unsigned> codes;
        for (int i = 0; i < width * height; ++i) {
            // Codes whose two bytes differ, so that a swapped byte order shows.
            const unsigned code = static_cast<unsigned>((i * 2654435761u) % (maxCode + 1u));
            codes.push_back(code);
            for (int channel = 0; channel < 4; ++channel) {
                const unsigned value = channel == 3 ? unsigned(maxCode) : code;
                if (depth == 16) pixels.push_back(static_cast<std::uint8_t>(value >> 8));
                pixels.push_back(static_cast<std::uint8_t>(value & 0xFF));
            }
        }
        const std::vector<std::uint8_t> file =
            standin::EncodePngRgba(width, height, depth, /*srgb=*/false, pixels);
        standin::GreyImage image;
        std::string error;
        ASSERT_TRUE(standin::DecodePngGrey(file, "round trip", image, error)) << error;
        ASSERT_EQ(image.width, width);
        ASSERT_EQ(image.height, height);
        for (int i = 0; i < width * height; ++i) {
            // Marked linear (gAMA 1.0): the grey value is the code itself.
            EXPECT_FLOAT_EQ(image.pixels[i], static_cast<float>(codes[i]) / maxCode)
                << depth << "-bit sample " << i;
        }
    }
}

}  // namespace
