// `nacrelle render` and `nacrelle chart`: the images they write, read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/film_colour.h"
#include "map_reference.h"
#include "png_file.h"
#include "program_run.h"

namespace nacrelle::tools::testing {
namespace {

struct Code {
    int r, g, b, a;
    bool operator<(const Code& o) const {
        return std::tie(r, g, b, a) < std::tie(o.r, o.g, o.b, o.a);
    }
    bool operator==(const Code&) const = default;
};

Code pixel(const PngImage& image, int x, int y) {
    return {image.at(x, y, 0), image.at(x, y, 1), image.at(x, y, 2), image.at(x, y, 3)};
}

std::ostream& operator<<(std::ostream& os, const Code& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

class Swatch : public ProgramTest {};

TEST_F(Swatch, DefaultIsA512SquarePngWithTheMapColourAtTheCentre) {
    runOk({"render"});
    ASSERT_EQ(entries(), std::set<std::string>{"nacrelle-swatch.png"});
    const PngImage image = readPng(file("nacrelle-swatch.png"));
    EXPECT_EQ(image.width, 512);
    EXPECT_EQ(image.height, 512);
    EXPECT_EQ(image.bitDepth, 8);
    EXPECT_EQ(image.channels, 4);
    EXPECT_TRUE(image.hasSrgbChunk);

    // Seen head on, the middle of the sphere has cosine 1 (the four pixels
    // around the image centre are within half a pixel of it).
    const Colour expected = filmColour(1.0f, 0.0f, defaultStack(), defaultAdjust());
    const Code want{srgbCode(expected.r), srgbCode(expected.g), srgbCode(expected.b), 255};
    for (int y : {255, 256}) {
        for (int x : {255, 256}) {
            const Code got = pixel(image, x, y);
            EXPECT_NEAR(got.r, want.r, 1) << "pixel " << x << "," << y;
            EXPECT_NEAR(got.g, want.g, 1) << "pixel " << x << "," << y;
            EXPECT_NEAR(got.b, want.b, 1) << "pixel " << x << "," << y;
            EXPECT_EQ(got.a, 255);
        }
    }
}

// Towards the silhouette the viewing cosine falls to 0, where the film
// reflects everything: the rim of the sphere is nearly white, and whiter than
// anything inside it.
TEST_F(Swatch, EdgeOfTheSphereTendsToWhite) {
    runOk({"render"});
    const PngImage image = readPng(file("nacrelle-swatch.png"));
    ASSERT_EQ(image.width, 512);

    // The top row is all background: the checker's colours.
    std::set<Code> background;
    for (int x = 0; x < image.width; ++x) background.insert(pixel(image, x, 0));
    ASSERT_EQ(background.size(), 2u) << "a checker has two colours";

    const int row = image.height / 2;
    for (int direction : {-1, 1}) {
        // Walk from the image's side edge inwards to the first sphere pixel.
        int x = direction < 0 ? 0 : image.width - 1;
        while (background.contains(pixel(image, x, row))) x -= direction;
        const int rim = x;
        ASSERT_GT(std::abs(rim - image.width / 2), 150) << "sphere too small or missing";
        const Code edge = pixel(image, rim, row);
        for (int c : {edge.r, edge.g, edge.b}) EXPECT_GE(c, 200) << "rim pixel " << edge;

        // Brightness (the darkest channel) grows on the way to the rim.
        auto darkest = [&](int px) {
            const Code p = pixel(image, px, row);
            return std::min({p.r, p.g, p.b});
        };
        const int centre = image.width / 2;
        const int halfway = (centre + rim) / 2;
        EXPECT_LT(darkest(centre), darkest(rim));
        EXPECT_LT(darkest(halfway), darkest(rim));
    }
}

TEST_F(Swatch, SizeWidthAndHeight) {
    runOk({"render", "--size", "64", "-o", "square.png"});
    runOk({"render", "--width", "40", "--height", "24", "-o", "wide.png"});
    // A leading zero is still decimal: "050" is fifty, not octal forty.
    runOk({"render", "--size", "30", "--height", "050", "-o", "tall.png"});
    const PngImage square = readPng(file("square.png"));
    const PngImage wide = readPng(file("wide.png"));
    const PngImage tall = readPng(file("tall.png"));
    EXPECT_EQ(square.width, 64);
    EXPECT_EQ(square.height, 64);
    EXPECT_EQ(wide.width, 40);
    EXPECT_EQ(wide.height, 24);
    EXPECT_EQ(tall.width, 30);
    EXPECT_EQ(tall.height, 50);
}

TEST_F(Swatch, LinearWritesTheMapValuesWithoutEncoding) {
    runOk({"render", "--linear", "-o", "linear.png"});
    const PngImage image = readPng(file("linear.png"));
    EXPECT_FALSE(image.hasSrgbChunk);
    const Colour expected = filmColour(1.0f, 0.0f, defaultStack(), defaultAdjust());
    const Code got = pixel(image, 256, 256);
    EXPECT_NEAR(got.r, expected.r * 255.0f, 1.0f);
    EXPECT_NEAR(got.g, expected.g * 255.0f, 1.0f);
    EXPECT_NEAR(got.b, expected.b * 255.0f, 1.0f);
}

TEST_F(Swatch, SixteenBitHoldsTheEightBitImageWithMorePrecision) {
    runOk({"render", "--size", "48", "-o", "eight.png"});
    runOk({"render", "--size", "48", "--16bit", "-o", "sixteen.png"});
    const PngImage eight = readPng(file("eight.png"));
    const PngImage sixteen = readPng(file("sixteen.png"));
    EXPECT_EQ(eight.bitDepth, 8);
    ASSERT_EQ(sixteen.bitDepth, 16);
    ASSERT_EQ(sixteen.samples.size(), eight.samples.size());
    bool finer = false;
    for (std::size_t i = 0; i < eight.samples.size(); ++i) {
        const double asEight = sixteen.samples[i] / 257.0;
        ASSERT_NEAR(asEight, eight.samples[i], 0.5 + 1e-9) << "sample " << i;
        finer = finer || sixteen.samples[i] % 257 != 0;
    }
    EXPECT_TRUE(finer) << "16-bit samples are only 8-bit ones widened";
}

TEST_F(Swatch, ThreadsDoNotChangeTheImage) {
    runOk({"render", "--size", "96", "--threads", "1", "-o", "one.png"});
    runOk({"render", "--size", "96", "--threads", "3", "-o", "three.png"});
    runOk({"render", "--size", "96", "-o", "all.png"});
    EXPECT_EQ(readBytes("one.png"), readBytes("three.png"));
    EXPECT_EQ(readBytes("one.png"), readBytes("all.png"));
    // The rows are converted to file samples on as many threads too.
    runOk({"render", "--size", "96", "--16bit", "--threads", "1", "-o", "one16.png"});
    runOk({"render", "--size", "96", "--16bit", "--threads", "3", "-o", "three16.png"});
    EXPECT_EQ(readBytes("one16.png"), readBytes("three16.png"));
}

TEST_F(Swatch, ThicknessMapChangesTheImageOnlyWhenSwitchedOn) {
    runOk({"render", "--size", "64", "-o", "plain.png"});
    runOk({"render", "--size", "64", "--thickness-map", "noise", "--map-set", "size=0.2", "--set",
           "thicknessmin=900", "-o", "noise.png"});
    runOk({"render", "--size", "64", "--thickness-map", "noise", "--map-set", "size=0.2",
           "--use-map", "off", "-o", "off.png"});
    EXPECT_NE(readBytes("plain.png"), readBytes("noise.png"));
    EXPECT_EQ(readBytes("plain.png"), readBytes("off.png"));
}

TEST_F(Swatch, BitmapThicknessMap) {
    // Left half 0, right half 1: two thicknesses on the sphere.
    std::vector<std::uint8_t> values(16 * 16);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = (i % 16) < 8 ? 0 : 255;
    writeGreyPng(file("halves.png"), 16, 16, values);
    runOk({"render", "--size", "64", "-o", "plain.png"});
    runOk({"render", "--size", "64", "--thickness-map", "bitmap:halves.png", "-o", "bitmap.png"});
    EXPECT_NE(readBytes("plain.png"), readBytes("bitmap.png"));
}

TEST_F(Swatch, FrameRangeWritesOneNumberedFilePerFrame) {
    runOk({"render", "--size", "32", "--key", "hue@3=90", "--frames", "1-3", "-o", "anim.png"});
    EXPECT_EQ(entries(),
              (std::set<std::string>{"anim-0001.png", "anim-0002.png", "anim-0003.png"}));
    runOk({"render", "--size", "32", "--key", "hue@3=90", "--frame", "3", "-o", "three.png"});
    runOk({"render", "--size", "32", "--key", "hue@3=90", "--frame", "1", "-o", "one.png"});
    EXPECT_EQ(readBytes("anim-0003.png"), readBytes("three.png"));
    EXPECT_EQ(readBytes("anim-0001.png"), readBytes("one.png"));
    EXPECT_NE(readBytes("anim-0001.png"), readBytes("anim-0003.png"));
}

TEST_F(Swatch, WritesIntoAnotherDirectory) {
    std::filesystem::create_directory(file("out"));
    runOk({"render", "--size", "16", "-o", "out/s.png"});
    EXPECT_EQ(readPng(file("out/s.png")).width, 16);
}

class Viewport : public ProgramTest {};

TEST_F(Viewport, ShowsTheHeadOnColourWithTheThicknessMapsPatternUpUv) {
    // --linear writes the viewport texture's 8-bit values as they are.
    runOk({"render", "--viewport", "--size", "16", "--linear", "-o", "plain.png"});
    const PngImage plain = readPng(file("plain.png"));
    ASSERT_EQ(plain.width, 16);
    ASSERT_EQ(plain.height, 16);
    const Colour headOn = filmColour(1.0f, 0.0f, defaultStack(), defaultAdjust());
    const Code want{static_cast<int>(std::lround(headOn.r * 255.0f)),
                    static_cast<int>(std::lround(headOn.g * 255.0f)),
                    static_cast<int>(std::lround(headOn.b * 255.0f)), 255};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) ASSERT_EQ(pixel(plain, x, y), want) << x << ", " << y;
    }

    // A gradient up V from 0 to 1 drives the film from 250 to 900 nm: the
    // picture's bottom row is near the first, its top row near the second.
    runOk({"render", "--viewport", "--size", "16", "--linear", "--thickness-map", "gradient",
           "--map-set", "axis=1", "--set", "thicknessmin=900", "-o", "gradient.png"});
    const PngImage gradient = readPng(file("gradient.png"));
    FilmStack stack = defaultStack();
    stack.thicknessMax = 900.0f;
    for (const auto& [y, v] : {std::pair{15, 0.5f / 16.0f}, std::pair{0, 15.5f / 16.0f}}) {
        const Colour c = filmColour(1.0f, v, stack, defaultAdjust());
        for (int x = 0; x < 16; ++x) {
            const Code got = pixel(gradient, x, y);
            EXPECT_NEAR(got.r, std::lround(c.r * 255.0f), 1) << x << ", " << y;
            EXPECT_NEAR(got.g, std::lround(c.g * 255.0f), 1) << x << ", " << y;
            EXPECT_NEAR(got.b, std::lround(c.b * 255.0f), 1) << x << ", " << y;
        }
    }
}

class Chart : public ProgramTest {};

TEST_F(Chart, DefaultSize) {
    runOk({"chart"});
    ASSERT_EQ(entries(), std::set<std::string>{"nacrelle-chart.png"});
    const PngImage image = readPng(file("nacrelle-chart.png"));
    EXPECT_EQ(image.width, 800);
    EXPECT_EQ(image.height, 560);
}

TEST_F(Chart, RequestedSizeAndRange) {
    runOk({"chart", "--width", "300", "--height", "200", "--thickness", "100:600", "--set",
           "nfilm=1.33", "-o", "small.png"});
    const PngImage image = readPng(file("small.png"));
    EXPECT_EQ(image.width, 300);
    EXPECT_EQ(image.height, 200);
    EXPECT_EQ(image.bitDepth, 8);
}

TEST_F(Chart, ThroughMapValuesARangeGoesOnPastTheThicknessParameters) {
    // 0 to 6000 nm through map values up to 2 draws, column for column, what
    // 0 to 3000 nm draws in a plot half as wide: the map value halves the
    // position and doubles it back exactly.
    constexpr int kMargins = 64 + 24, kPlotTop = 44, kPlotHeight = 100, kPlot = 150;
    const std::string height = std::to_string(kPlotHeight + 44 + 52);
    runOk({"chart", "--width", std::to_string(kPlot + kMargins), "--height", height,
           "--thickness", "0:3000", "--set", "nfilm=1.33", "-o", "part.png"});
    runOk({"chart", "--width", std::to_string(2 * kPlot + kMargins), "--height", height,
           "--thickness", "0:6000", "--through-map-values", "--set", "nfilm=1.33", "-o",
           "whole.png"});
    const PngImage part = readPng(file("part.png"));
    const PngImage whole = readPng(file("whole.png"));
    int differing = 0;
    for (int y = kPlotTop; y < kPlotTop + kPlotHeight; ++y) {
        for (int x = 0; x < kPlot; ++x) {
            for (int c = 0; c < part.channels; ++c) {
                differing += part.at(64 + x, y, c) != whole.at(64 + x, y, c);
            }
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST_F(Chart, ASettingsLineTooLongForTheWidthWrapsOntoASecondLine) {
    // Text rows: the first line's, the second's (9 pixels lower), and the
    // band between the second and the angle axis's title, which stays dark.
    const auto inkInRows = [&](const char* name, int from, int to) {
        const PngImage image = readPng(file(name));
        int ink = 0;
        for (int y = from; y < to; ++y)
            for (int x = 0; x < image.width; ++x) ink += image.at(x, y, 0) > 128;
        return ink;
    };
    const std::vector<std::string> settings{"--set", "hue=-123.4", "--set", "sat=-55.5"};
    for (const char* width : {"800", "440"}) {
        std::vector<std::string> args{"chart", "--width", width, "--height", "300", "-o",
                                      std::string(width) + ".png"};
        args.insert(args.end(), settings.begin(), settings.end());
        runOk(args);
    }
    EXPECT_GT(inkInRows("800.png", 8, 15), 0);
    EXPECT_EQ(inkInRows("800.png", 17, 24), 0);
    EXPECT_GT(inkInRows("440.png", 17, 24), 0);
    EXPECT_EQ(inkInRows("440.png", 25, 29), 0);
}

TEST_F(Chart, SettingsChangeTheColours) {
    runOk({"chart", "--width", "200", "--height", "150", "-o", "plain.png"});
    runOk({"chart", "--width", "200", "--height", "150", "--set", "hue=120", "-o", "hue.png"});
    // The middle of the image lies in the plot, away from axes and labels.
    const PngImage plain = readPng(file("plain.png"));
    const PngImage turned = readPng(file("hue.png"));
    EXPECT_NE(pixel(plain, 100, 75), pixel(turned, 100, 75));
}

class ImageOutput : public ProgramTest {};

TEST_F(ImageOutput, EveryImageCommandTakesTheSameOutputOptions) {
    runOk({"scene", "new", "s.nscene"});
    const std::vector<std::vector<std::string>> commands = {
        {"render", "--size", "16"},
        {"chart", "--width", "120", "--height", "120"},
        {"gallery", "--swatch", "16"},
        {"scene", "render", "s.nscene", "--size", "16"},
    };
    constexpr auto kWrite = std::filesystem::perms::owner_write |
                            std::filesystem::perms::group_write |
                            std::filesystem::perms::others_write;
    for (std::vector<std::string> command : commands) {
        SCOPED_TRACE(command.front());
        const std::string output = command.front() + ".png";
        command.insert(command.end(), {"--16bit", "--linear", "-o", output});
        runOk(command);
        const PngImage image = readPng(file(output));
        EXPECT_EQ(image.bitDepth, 16);
        EXPECT_FALSE(image.hasSrgbChunk);
        // A read-only output is replaced only with --force.
        std::filesystem::permissions(file(output), kWrite, std::filesystem::perm_options::remove);
        EXPECT_EQ(run(command).exitCode, 1);
        command.push_back("--force");
        runOk(command);
        // Windows removes no read-only file, the test's folder included.
        std::filesystem::permissions(file(output), kWrite, std::filesystem::perm_options::add);
    }
}

}  // namespace
}  // namespace nacrelle::tools::testing
