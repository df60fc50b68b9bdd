#include "png/png_grey_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "png_test_writer.h"
#include "png/grey_image.h"

namespace {

using pngtest::EncodePng;
using pngtest::PngSpec;
using standin::DecodePngGrey;
using standin::GreyImage;

constexpr double kLinearGamma = 1.0;

double srgbToLinear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

GreyImage decodeOrFail(const std::vector<std::uint8_t>& bytes) {
    GreyImage image;
    std::string error;
    EXPECT_TRUE(DecodePngGrey(bytes, "test.png", image, error)) << error;
    return image;
}

std::string decodeError(const std::vector<std::uint8_t>& bytes, const char* name = "bad.png") {
    GreyImage image;
    image.width = 7;  // must survive a failed decode
    std::string error;
    EXPECT_FALSE(DecodePngGrey(bytes, name, image, error));
    EXPECT_EQ(image.width, 7);
    return error;
}

// ---- Sample layouts ------------------------------------------------------------

struct LayoutCase {
    const char* name;
    PngSpec pngLayout;
    std::vector<float> expected;  // linear values, row-major
};

float ratio(unsigned sample, unsigned maxSample) {
    return static_cast<float>(static_cast<double>(sample) / maxSample);
}

float luminance(float r, float g, float b) {
    return static_cast<float>(0.2126 * r + 0.7152 * g + 0.0722 * b);
}

std::vector<LayoutCase> layoutCases() {
    std::vector<LayoutCase> cases;
    cases.push_back({"grey 8-bit",
                     {2, 2, PNG_COLOR_TYPE_GRAY, 8, {0, 51, 255, 128}, {}, kLinearGamma},
                     {0.0f, ratio(51, 255), 1.0f, ratio(128, 255)}});
    cases.push_back({"grey 16-bit",
                     {2, 2, PNG_COLOR_TYPE_GRAY, 16, {0, 65535, 1000, 40000}, {}, kLinearGamma},
                     {0.0f, 1.0f, ratio(1000, 65535), ratio(40000, 65535)}});
    cases.push_back({"grey 1-bit",
                     {3, 1, PNG_COLOR_TYPE_GRAY, 1, {1, 0, 1}, {}, kLinearGamma},
                     {1.0f, 0.0f, 1.0f}});
    cases.push_back({"grey 4-bit",
                     {3, 1, PNG_COLOR_TYPE_GRAY, 4, {0, 5, 15}, {}, kLinearGamma},
                     {0.0f, ratio(5, 15), 1.0f}});
    // Alpha is not used: the grey value comes through whatever the alpha.
    cases.push_back({"grey and alpha 8-bit",
                     {2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {200, 0, 100, 255}, {}, kLinearGamma},
                     {ratio(200, 255), ratio(100, 255)}});
    cases.push_back({"RGB 8-bit",
                     {2, 1, PNG_COLOR_TYPE_RGB, 8, {90, 90, 90, 255, 0, 0}, {}, kLinearGamma},
                     {ratio(90, 255), luminance(1.0f, 0.0f, 0.0f)}});
    cases.push_back({"RGBA 16-bit",
                     {2,
                      1,
                      PNG_COLOR_TYPE_RGB_ALPHA,
                      16,
                      {0, 65535, 0, 0, 30000, 30000, 30000, 65535},
                      {},
                      kLinearGamma},
                     {luminance(0.0f, 1.0f, 0.0f), ratio(30000, 65535)}});
    cases.push_back({"palette 2-bit",
                     {3,
                      1,
                      PNG_COLOR_TYPE_PALETTE,
                      2,
                      {2, 0, 1},
                      {{{10, 10, 10}}, {{0, 0, 255}}, {{255, 255, 255}}},
                      kLinearGamma},
                     {1.0f, ratio(10, 255), luminance(0.0f, 0.0f, 1.0f)}});
    return cases;
}

TEST(PngGreyReader, EveryLayoutBecomesLinearGrey) {
    for (const LayoutCase& c : layoutCases()) {
        SCOPED_TRACE(c.name);
        const GreyImage image = decodeOrFail(EncodePng(c.pngLayout));
        ASSERT_EQ(image.width, c.pngLayout.width);
        ASSERT_EQ(image.height, c.pngLayout.height);
        ASSERT_EQ(image.pixels.size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_FLOAT_EQ(image.pixels[i], c.expected[i]) << "pixel " << i;
        }
    }
}

TEST(PngGreyReader, InterlacedImageMatchesPlainOne) {
    PngSpec pngLayout{9, 7, PNG_COLOR_TYPE_GRAY, 8, {}, {}, kLinearGamma};
    for (int i = 0; i < 9 * 7; ++i) pngLayout.samples.push_back(static_cast<unsigned>(i * 37 % 256));
    const GreyImage plain = decodeOrFail(EncodePng(pngLayout));
    pngLayout.interlaced = true;
    const GreyImage interlaced = decodeOrFail(EncodePng(pngLayout));
    EXPECT_EQ(interlaced.pixels, plain.pixels);
    EXPECT_EQ(plain.At(3, 2), ratio(static_cast<unsigned>((2 * 9 + 3) * 37 % 256), 255));
}

TEST(PngGreyReader, RowsRunTopToBottom) {
    const GreyImage image =
        decodeOrFail(EncodePng({2, 2, PNG_COLOR_TYPE_GRAY, 8, {0, 255, 255, 0}, {}, kLinearGamma}));
    EXPECT_EQ(image.At(0, 0), 0.0f);
    EXPECT_EQ(image.At(1, 0), 1.0f);
    EXPECT_EQ(image.At(0, 1), 1.0f);
    EXPECT_EQ(image.At(1, 1), 0.0f);
}

// ---- Transfer functions -----------------------------------------------------------

TEST(PngGreyReader, DeclaredTransferDecidesTheLinearValue) {
    struct Case {
        const char* name;
        std::optional<double> gamma;
        bool srgbChunk;
        double (*decode)(double);
    };
    const Case cases[] = {
        {"no colour information: sRGB", std::nullopt, false, srgbToLinear},
        {"sRGB chunk", std::nullopt, true, srgbToLinear},
        {"gAMA 1.0: linear", 1.0, false, [](double v) { return v; }},
        {"gAMA 0.45455: power 2.2", 0.45455, false,
         [](double v) { return std::pow(v, 1.0 / 0.45455); }},
    };
    const std::vector<unsigned> samples = {0, 10, 128, 255};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PngSpec pngLayout{4, 1, PNG_COLOR_TYPE_GRAY, 8, samples, {}, c.gamma, c.srgbChunk};
        const GreyImage image = decodeOrFail(EncodePng(pngLayout));
        for (std::size_t i = 0; i < samples.size(); ++i) {
            EXPECT_FLOAT_EQ(image.pixels[i], static_cast<float>(c.decode(samples[i] / 255.0)))
                << "sample " << samples[i];
        }
    }
    // A mid-grey of an untagged file is about 0.2159 in linear light.
    const GreyImage untagged =
        decodeOrFail(EncodePng({1, 1, PNG_COLOR_TYPE_GRAY, 8, {128}, {}, std::nullopt}));
    EXPECT_NEAR(untagged.pixels[0], 0.2159, 1e-4);
}

// ---- Errors --------------------------------------------------------------------------

std::vector<std::uint8_t> smallPng() {
    return EncodePng({3, 2, PNG_COLOR_TYPE_GRAY, 8, {1, 2, 3, 4, 5, 6}, {}, kLinearGamma});
}

TEST(PngGreyReader, MissingFileNamesTheFile) {
    pngtest::TempDir dir;
    const std::string path = (dir.Path() / "nowhere.png").string();
    GreyImage image;
    std::string error;
    EXPECT_FALSE(standin::ReadPngGreyFile(path, image, error));
    EXPECT_EQ(error, path + ": cannot open: No such file or directory");
}

TEST(PngGreyReader, DirectoryIsNoImage) {
    pngtest::TempDir dir;
    GreyImage image;
    std::string error;
    EXPECT_FALSE(standin::ReadPngGreyFile(dir.Path().string(), image, error));
    EXPECT_EQ(error.rfind(dir.Path().string() + ": cannot ", 0), 0u) << error;
}

TEST(PngGreyReader, EmptyOrForeignFileIsNotAPng) {
    EXPECT_EQ(decodeError({}), "bad.png: the file is empty");
    const std::string text = "P2 2 2 255\n0 1 2 3\n";
    EXPECT_EQ(decodeError(std::vector<std::uint8_t>(text.begin(), text.end())),
              "bad.png: not a PNG file (no PNG signature at byte 0)");
    // A signature cut short is no signature.
    std::vector<std::uint8_t> bytes = smallPng();
    bytes.resize(5);
    EXPECT_EQ(decodeError(bytes), "bad.png: not a PNG file (no PNG signature at byte 0)");
}

TEST(PngGreyReader, EveryTruncationIsReportedWithItsLength) {
    const std::vector<std::uint8_t> whole = smallPng();
    for (std::size_t length = 8; length < whole.size(); ++length) {
        const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + length);
        const std::string error = decodeError(cut, "cut.png");
        EXPECT_EQ(
            error.rfind("cut.png: truncated: the file ends at byte " + std::to_string(length) + ",",
                        0),
            0u)
            << error;
    }
}

TEST(PngGreyReader, TruncatedFileOnDiskNamesThePath) {
    pngtest::TempDir dir;
    const auto path = dir.Path() / "half.png";
    std::vector<std::uint8_t> bytes = smallPng();
    bytes.resize(bytes.size() / 2);
    pngtest::WriteBytes(path, bytes);
    GreyImage image;
    std::string error;
    EXPECT_FALSE(standin::ReadPngGreyFile(path.string(), image, error));
    EXPECT_EQ(error.rfind(path.string() + ": truncated: the file ends at byte " +
                              std::to_string(bytes.size()),
                          0),
              0u)
        << error;
}

std::uint32_t big32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

/// Where the chunk of type `type` starts in `png`.
std::size_t chunkAt(const std::vector<std::uint8_t>& png, const std::string& type) {
    std::size_t at = 8;
    while (std::string(png.begin() + at + 4, png.begin() + at + 8) != type)
        at += 12 + big32(png, at);
    return at;
}

/// Flips the bits `mask` of byte `offset` in the data of chunk `type`; with
/// `fixCrc`, the chunk's CRC is made to match again.
std::vector<std::uint8_t> damaged(const char* type, std::size_t offset, std::uint8_t mask,
                                  bool fixCrc) {
    std::vector<std::uint8_t> png = smallPng();
    const std::size_t at = chunkAt(png, type);
    const std::uint32_t length = big32(png, at);
    png[at + 8 + offset] ^= mask;
    if (fixCrc) {
        const std::uint32_t crc = pngtest::PngCrc(std::span(png).subspan(at + 4, length + 4));
        for (int k = 0; k < 4; ++k) {
            png[at + 8 + length + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
        }
    }
    return png;
}

TEST(PngGreyReader, DamagedChunksAreCorruptData) {
    // The IHDR chunk ends at byte 33, where its CRC is checked.
    EXPECT_EQ(decodeError(damaged("IHDR", 4, 0x40, false)),
              "bad.png: corrupt PNG data: IHDR: CRC error (found at byte 33)");
    EXPECT_EQ(decodeError(damaged("IHDR", 8, 0x0D, true)),  // bit depth 8 -> 5
              "bad.png: corrupt PNG data: IHDR: bit depth 5 is not allowed for colour type 0 "
              "(found at byte 33)");

    // Damaged compressed data with a matching CRC: zlib finds it.
    const std::string error = decodeError(damaged("IDAT", 0, 0xFF, true));
    EXPECT_EQ(error.rfind("bad.png: corrupt PNG data: ", 0), 0u) << error;
    EXPECT_NE(error.find(" at byte "), std::string::npos) << error;

    // A damaged ancillary chunk is dropped, as decoders do: without its gAMA
    // the file reads as sRGB.
    const GreyImage untagged = decodeOrFail(damaged("gAMA", 0, 0x01, false));
    EXPECT_FLOAT_EQ(untagged.pixels[5], static_cast<float>(srgbToLinear(6 / 255.0)));
}

TEST(PngGreyReader, PixelsPastThePaletteAreCorruptData) {
    // Two colours; the largest index each image uses, interlaced or not, at
    // 1 and 8 bits an index.
    const std::vector<std::array<std::uint8_t, 3>> two = {{{10, 10, 10}}, {{200, 200, 200}}};
    for (const auto& [depth, indices, largest] :
         {std::tuple{8, std::vector<unsigned>{0, 1, 5, 1}, 5u}, {2, {3, 0, 1, 2}, 3u}}) {
        for (const bool interlaced : {false, true}) {
            const std::vector<std::uint8_t> png =
                EncodePng({4, 1, PNG_COLOR_TYPE_PALETTE, depth, indices, two, std::nullopt, false,
                           interlaced});
            EXPECT_EQ(decodeError(png),
                      "bad.png: corrupt PNG data: a pixel uses palette entry " +
                          std::to_string(largest) + ", past the " + std::to_string(two.size()) +
                          " colours of the palette (found in the image data at byte " +
                          std::to_string(chunkAt(png, "IDAT")) + ")");
        }
    }
    // Every index within the palette reads.
    EXPECT_EQ(decodeOrFail(EncodePng({2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, two})).pixels.size(),
              2u);
}

// A signature, an IHDR chunk claiming `width` x `height` grey pixels and an
// empty IDAT chunk: enough for the header to be read.
std::vector<std::uint8_t> headerOnlyPng(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    auto appendU32 = [&](std::uint32_t v) {
        for (int k = 3; k >= 0; --k) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
    };
    auto appendChunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
        appendU32(static_cast<std::uint32_t>(data.size()));
        const std::size_t start = bytes.size();
        bytes.insert(bytes.end(), type, type + 4);
        bytes.insert(bytes.end(), data.begin(), data.end());
        appendU32(pngtest::PngCrc(
            std::span<const std::uint8_t>(bytes.data() + start, bytes.size() - start)));
    };
    std::vector<std::uint8_t> header;
    for (std::uint32_t v : {width, height}) {
        for (int k = 3; k >= 0; --k) header.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
    }
    header.insert(header.end(), {8, PNG_COLOR_TYPE_GRAY, 0, 0, 0});
    appendChunk("IHDR", header);
    appendChunk("IDAT", {});
    return bytes;
}

TEST(PngGreyReader, OversizedImageIsRefusedBeforeDecoding) {
    EXPECT_EQ(decodeError(headerOnlyPng(10000, 10000)),
              "bad.png: the image is 10000 x 10000 pixels, more than the 67108864 pixels a map "
              "may have");
    const std::string zeroWidth = decodeError(headerOnlyPng(0, 5));
    EXPECT_EQ(zeroWidth.rfind("bad.png: corrupt PNG data: ", 0), 0u) << zeroWidth;
}

// Randomly damaged files: every outcome is an image or an error naming the
// file; the sanitizers watch for anything worse.
TEST(PngGreyReader, RandomDamageNeverCrashes) {
    PngSpec pngLayout{5, 4, PNG_COLOR_TYPE_RGB_ALPHA, 16, {}, {}, std::nullopt, false, true};
    for (int i = 0; i < 5 * 4 * 4; ++i) pngLayout.samples.push_back(static_cast<unsigned>(i * 4099));
    const std::vector<std::uint8_t> whole = EncodePng(pngLayout);
    std::mt19937 random(20240611u);
    int decoded = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        std::vector<std::uint8_t> bytes = whole;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int f = 0; f < flips; ++f) {
            bytes[8 + random() % (bytes.size() - 8)] = static_cast<std::uint8_t>(random());
        }
        if (random() % 4 == 0) bytes.resize(8 + random() % (bytes.size() - 8));
        GreyImage image;
        std::string error;
        if (DecodePngGrey(bytes, "fuzzed.png", image, error)) {
            ++decoded;
            EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width) * image.height);
        } else {
            EXPECT_EQ(error.rfind("fuzzed.png: ", 0), 0u) << error;
        }
    }
    EXPECT_LT(decoded, 2000);
}

// ---- Bilinear sampling ----------------------------------------------------------------

GreyImage twoByTwo() {
    // Top row 0, 1; bottom row 2, 4.
    return GreyImage{2, 2, {0.0f, 1.0f, 2.0f, 4.0f}};
}

TEST(SampleBilinearTiled, PixelCentresAndBetweenThem) {
    const GreyImage image = twoByTwo();
    struct Case {
        float u, v, expected;
    };
    const Case cases[] = {
        {0.25f, 0.75f, 0.0f},  // centre of the top-left pixel: v runs upwards
        {0.75f, 0.75f, 1.0f},   {0.25f, 0.25f, 2.0f},
        {0.75f, 0.25f, 4.0f},   {0.5f, 0.75f, 0.5f},  // halfway along the top row
        {0.25f, 0.5f, 1.0f},                          // halfway down the left column
        {0.5f, 0.5f, 1.75f},                          // the mean of all four
        {0.375f, 0.75f, 0.25f},                       // a quarter of the way
        {1.25f, 0.75f, 0.0f},                         // tiled: one image to the right
        {-0.75f, -1.75f, 2.0f},                       // tiled: negative coordinates
        {0.0f, 0.75f, 0.5f},                          // the left edge blends with the right column
        {0.25f, 1.0f, 1.0f},                          // the top edge blends with the bottom row
    };
    for (const Case& c : cases) {
        EXPECT_EQ(standin::SampleBilinearTiled(image, c.u, c.v), c.expected)
            << "u " << c.u << " v " << c.v;
    }
}

TEST(SampleBilinearTiled, DegenerateInputGivesZero) {
    EXPECT_EQ(standin::SampleBilinearTiled(GreyImage{}, 0.5f, 0.5f), 0.0f);
    const GreyImage image = twoByTwo();
    EXPECT_EQ(standin::SampleBilinearTiled(image, NAN, 0.5f), 0.0f);
    EXPECT_EQ(standin::SampleBilinearTiled(image, 0.5f, INFINITY), 0.0f);
    // Huge coordinates still land on a pixel.
    const float far = standin::SampleBilinearTiled(image, 3.0e9f, -7.0e12f);
    EXPECT_GE(far, 0.0f);
    EXPECT_LE(far, 4.0f);
}

}  // namespace
